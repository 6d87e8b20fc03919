#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>

#include "platform/ui/image_assets.h"
#include "platform/ui/renderer_module.h"

namespace platform::ui {
namespace {

using foundation::Result;
using foundation::Status;

std::filesystem::path programFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

struct Loaded {
  const RendererModule* module = nullptr;
  std::string failure;
};

// Only fixed places are searched: never a path from the environment or the
// input, since whatever is loaded runs inside this process.
Loaded load() {
  std::vector<std::filesystem::path> candidates;
  if (auto folder = programFolder(); !folder.empty()) {
    candidates.push_back(folder / "libquorvel_render.so");
  }
#ifdef QUORVEL_BUILD_RENDER_MODULE
  candidates.emplace_back(QUORVEL_BUILD_RENDER_MODULE);
#endif
  std::string reasons;
  for (const auto& path : candidates) {
    if (!std::filesystem::exists(path)) continue;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = dlerror();
      reasons += std::string(reasons.empty() ? "" : "; ") + (why ? why : path.string());
      continue;
    }
    using Entry = const RendererModule* (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(handle, kRendererModuleEntry));
    const RendererModule* module = entry ? entry() : nullptr;
    if (!module || module->interfaceVersion != kRendererModuleInterfaceVersion) {
      reasons += std::string(reasons.empty() ? "" : "; ") + path.string() +
                 " is not a renderer module of this build";
      dlclose(handle);
      continue;
    }
    return Loaded{module, {}};  // stays loaded for the process
  }
  return Loaded{nullptr, reasons.empty() ? "libquorvel_render.so was not found" : reasons};
}

Result<const RendererModule*> module() {
  static const Loaded loaded = load();
  if (!loaded.module) {
    return Status::Unsupported("The renderer cannot be loaded: " + loaded.failure);
  }
  // Assets may be registered at any time, so each drawing hands over the
  // current catalogue (a few map insertions; the bytes are not copied).
  for (const ImageAssetBytes& asset : registeredImageAssets()) {
    loaded.module->registerImageAsset(asset.name, asset.pngBytes, asset.scale);
  }
  return loaded.module;
}

}  // namespace

Result<std::string> renderToPNGDataWithModule(const View& view, const RenderOptions& options) {
  auto loaded = module();
  if (!loaded.ok()) return loaded.status;
  return (*loaded.value)->pngData(view, options);
}

Result<std::string> renderToSVGDataWithModule(const View& view, const RenderOptions& options) {
  auto loaded = module();
  if (!loaded.ok()) return loaded.status;
  return (*loaded.value)->svgData(view, options);
}

}  // namespace platform::ui
