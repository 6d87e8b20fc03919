// Where the running program's file lies, for what is installed beside it.
#pragma once

#include <filesystem>

#include "platform/foundation/status.h"

namespace platform::foundation {

// The folder of the running executable, or an empty path when the system
// cannot say.
std::filesystem::path programFolder();

// The address of the symbol `entry` in the module at `fromProgram` (relative
// to the program's folder: the same in the build tree and in an
// installation), or why the module cannot be loaded. Only that place is
// searched, never a path from the environment or the input, since whatever
// is loaded runs inside this process. A loaded module stays for the process.
Result<void*> moduleEntry(const std::filesystem::path& fromProgram, const char* entry);

// The table of calls a module's `entry` function returns, when its first
// member, `interfaceVersion`, is `version`: a module of another build is
// refused rather than called.
template <typename Module>
Result<const Module*> loadModule(const std::filesystem::path& fromProgram, const char* entry,
                                 int version) {
  auto address = moduleEntry(fromProgram, entry);
  if (!address.ok()) return address.status;
  const Module* module = reinterpret_cast<const Module* (*)()>(*address.value)();
  if (!module || module->interfaceVersion != version)
    return Status::Unsupported(fromProgram.string() + " is not a module of this build");
  return module;
}

}  // namespace platform::foundation
