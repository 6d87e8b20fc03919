// The entry of libquorvel_render.so: the renderer of this tree behind the
// one symbol the loader looks up.
#include "platform/ui/image_assets.h"
#include "platform/ui/renderer_module.h"

namespace {

void registerAsset(const std::string& name, std::string_view pngBytes, double scale) {
  platform::ui::registerImageAsset(name, pngBytes, scale);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const platform::ui::RendererModule*
quorvel_renderer_module() {
  static const platform::ui::RendererModule module{platform::ui::kRendererModuleInterfaceVersion,
                                                   platform::ui::renderToPNGData,
                                                   platform::ui::renderToSVGData, registerAsset};
  return &module;
}
