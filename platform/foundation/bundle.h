// The main bundle's identity: which extension this process is.
// Set once by the program's entry before any request runs; read from any
// thread afterwards.
#pragma once

#include <string>
#include <string_view>

namespace platform::foundation {

void setMainBundleIdentifier(std::string_view identifier);
// The identifier set, or "main" when the entry set none.
std::string mainBundleIdentifier();

}  // namespace platform::foundation
