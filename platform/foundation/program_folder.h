// Where the running program's file lies, for what is installed beside it.
#pragma once

#include <filesystem>

namespace platform::foundation {

// The folder of the running executable, or an empty path when the system
// cannot say.
std::filesystem::path programFolder();

}  // namespace platform::foundation
