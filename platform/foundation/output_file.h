// Replacing files whole: the one way this platform writes a file that
// readers in other processes may be looking at.
// Thread rule: any thread; two writers of the same path race like two
// renames do (the last one wins, whole).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/foundation/status.h"

namespace platform::foundation {

// Whether a replaced file must also survive a crash of the machine.
enum class Durability { synced, unsynced };

// Replaces the file at `path` with `bytes` so that a reader sees the old
// file or the new one, never a part: the bytes go to a fresh name in the
// same folder, created exclusively with owner-only permissions (no existing
// file or link is ever written through), are synced (when `durability` says
// so), given `mode`, renamed over `path`, and the folder is synced likewise.
// On failure `path` is untouched and no temporary is left; the kIOError
// names the step, the file or folder and the cause ("cannot create a file
// in <folder>: ...").
Status replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                             mode_t mode = 0600, Durability durability = Durability::synced);

// Writes all of `bytes` to `fd`, going on after a short or interrupted
// write; false (errno set) when the descriptor refuses them.
bool writeAll(int fd, std::string_view bytes);

// Writes a program's result file, the way both extension entries do it. A
// regular file (or a new one) is replaced whole (replaceFileAtomically,
// readable by all, 0644, not synced: the next run makes it again). Through
// a symbolic link the file it points to is replaced and the link stays.
// Anything else (a terminal, a pipe, /dev/null) is written to as it is. A
// directory is refused. Errors (kIOError, kInvalidArgument) read "cannot
// write <path>: <cause>".
Status writeOutputFile(const std::string& path, std::string_view bytes);

// Writes `bytes` to standard output whole (one write where it can). A
// failure is remembered for finishStandardOutput; false then.
bool writeStandardOutput(std::string_view bytes);

// Ends a program's use of standard output: flushes what std::cout and stdio
// still hold and closes it. When that or any earlier writeStandardOutput
// failed (a full disk, /dev/full, a closed pipe), it writes "<program>:
// cannot write standard output: <cause>" to standard error and returns
// `status`, or 1 when `status` is 0; otherwise `status`.
int finishStandardOutput(int status, std::string_view program);

}  // namespace platform::foundation
