#include <string>

#include "platform/foundation/program_folder.h"
#include "platform/ui/image_assets.h"
#include "platform/ui/renderer_module.h"

namespace platform::ui {
namespace {

using foundation::Result;
using foundation::Status;

Result<const RendererModule*> module() {
  static const auto loaded = foundation::loadModule<RendererModule>(
      RENDER_MODULE_FROM_PROGRAM, kRendererModuleEntry, kRendererModuleInterfaceVersion);
  if (!loaded.ok()) {
    return Status::Unsupported("The renderer cannot be loaded: " +
                               loaded.status.localizedDescription());
  }
  // Assets may be registered at any time, so each drawing hands over the
  // current catalogue (a few map insertions; the bytes are not copied).
  for (const ImageAssetBytes& asset : registeredImageAssets()) {
    (*loaded.value)->registerImageAsset(asset.name, asset.pngBytes, asset.scale);
  }
  return loaded;
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
