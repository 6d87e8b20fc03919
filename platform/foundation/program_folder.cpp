#include "platform/foundation/program_folder.h"

#include <dlfcn.h>

namespace platform::foundation {

std::filesystem::path programFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

Result<void*> moduleEntry(const std::filesystem::path& fromProgram, const char* entry) {
  const std::filesystem::path folder = programFolder();
  if (folder.empty()) return Status::Unsupported("the program's own folder is unknown");
  const std::filesystem::path path = (folder / fromProgram).lexically_normal();
  std::error_code error;
  if (!std::filesystem::exists(path, error))
    return Status::NotFound(path.string() + " was not found");
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    return Status::Unsupported(why ? why : path.string() + " cannot be loaded");
  }
  void* address = dlsym(handle, entry);
  if (!address) {
    dlclose(handle);
    return Status::Unsupported(path.string() + " is not a module of this build");
  }
  return address;
}

}  // namespace platform::foundation
