// Writing a program's result file, the way both extension entries do it.
// Thread rule: any thread; two writers of the same path race like two
// renames do (the last one wins, whole).
#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/status.h"

namespace platform::foundation {

// Writes `bytes` to `path`. A regular file (or a new one) is replaced as a
// whole, so a reader sees the old file or the new one: the bytes go first
// to a fresh name beside it, created exclusively with owner-only
// permissions (no existing file or link is ever written through), made
// readable (0644) once complete, then renamed over it. Through a symbolic
// link the file it points to is replaced and the link stays. Anything else
// (a terminal, a pipe, /dev/null) is written to as it is. A directory is
// refused. Errors (kIOError, kInvalidArgument) name the path and the cause.
Status writeOutputFile(const std::string& path, std::string_view bytes);

}  // namespace platform::foundation
