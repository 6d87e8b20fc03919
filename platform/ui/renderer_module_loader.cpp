#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>

#include "platform/foundation/program_folder.h"
#include "platform/ui/image_assets.h"
#include "platform/ui/renderer_module.h"

namespace platform::ui {
namespace {

using foundation::programFolder;
using foundation::Result;
using foundation::Status;

struct Loaded {
  const RendererModule* module = nullptr;
  std::string failure;
};

// Only the place beside the program is searched (RENDER_MODULE_FROM_PROGRAM,
// relative to the program's folder: the same in the build tree and in an
// installation), never a path from the environment or the input, since
// whatever is loaded runs inside this process.
Loaded load() {
  const std::filesystem::path folder = programFolder();
  if (folder.empty()) return Loaded{nullptr, "the program's own folder is unknown"};
  const std::filesystem::path path = (folder / RENDER_MODULE_FROM_PROGRAM).lexically_normal();
  if (!std::filesystem::exists(path)) return Loaded{nullptr, path.string() + " was not found"};
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    return Loaded{nullptr, why ? why : path.string() + " cannot be loaded"};
  }
  using Entry = const RendererModule* (*)();
  auto entry = reinterpret_cast<Entry>(dlsym(handle, kRendererModuleEntry));
  const RendererModule* module = entry ? entry() : nullptr;
  if (!module || module->interfaceVersion != kRendererModuleInterfaceVersion) {
    dlclose(handle);
    return Loaded{nullptr, path.string() + " is not a renderer module of this build"};
  }
  return Loaded{module, {}};  // stays loaded for the process
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
