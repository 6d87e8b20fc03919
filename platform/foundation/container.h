// Where the platform keeps the app group's and each extension's files.
// Everything lives under QUORVEL_HOME (default
// ${XDG_DATA_HOME:-$HOME/.local/share}/quorvel), read afresh on every call
// so tests can point it elsewhere. A relative XDG_DATA_HOME is ignored, as
// the base-directory rules say; a relative QUORVEL_HOME is taken from the
// working folder; without HOME the account's home comes from the password
// database, never a shared folder such as /tmp. Folders are made 0700.
// Safe from any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/foundation/status.h"

namespace platform::foundation {

// The root directory, absolute (not created here); kNotFound naming the
// variables when no home can be found.
Result<std::filesystem::path> quorvelHome();

// The app group's shared container, $QUORVEL_HOME/AppGroups/<identifier>/,
// created on lookup; none when the identifier is unusable as one folder name
// or the directory cannot be created (a missing home is named on standard
// error).
std::optional<std::filesystem::path> containerURLForSecurityApplicationGroupIdentifier(
    std::string_view groupIdentifier);

// An extension's own container, $QUORVEL_HOME/Containers/<bundle id>/, not
// created here; empty when no home can be found (quorvelHome says why).
std::filesystem::path extensionContainer(std::string_view bundleIdentifier);

// True when `name` can name exactly one directory entry (no separators, not
// "." or "..", not empty, no NUL).
bool isPlainFileName(std::string_view name);

}  // namespace platform::foundation
