// Reading files that others may have put in the way, and making the folders
// the platform keeps its files in. Every reader of a file the programs do
// not fully control goes through readRegularFile, so that a FIFO, a device,
// a folder or a huge file at a known path can neither stall nor exhaust a
// process. Safe from any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/foundation/status.h"

namespace platform::foundation {

// The whole of the regular file at `path`, at most `maxBytes` long. It is
// opened without blocking (a FIFO or a device never stalls the caller) and
// checked with fstat. With `followFinalLink` false a symbolic link at `path`
// itself is refused, for files a program creates and so never reaches
// through a link. Errors: kNotFound (nothing there), kInvalidArgument ("<path>
// is not a regular file"), kTooLarge ("<path> is larger than N bytes"),
// kIOError (anything else), each naming the path.
Result<std::string> readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes,
                                    bool followFinalLink = true);

// Creates `folder` and its missing parents owner-only (0700); folders that
// exist are left as they are. kIOError names the folder that failed.
Status makeDirectories(const std::filesystem::path& folder);

// `text` fit for one line of a message: control characters (C0, DEL, C1)
// escaped as quotedForm (debug_print.h) escapes them, nothing else changed.
std::string escapedForm(std::string_view text);

}  // namespace platform::foundation
