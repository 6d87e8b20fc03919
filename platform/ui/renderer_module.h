// Drawing through the renderer module. The graphics libraries (pango, cairo,
// fontconfig, glib and theirs) take about 4 MB and several milliseconds to
// load, so a program that draws only when asked loads them as
// libquorvel_render.so on its first picture instead of at start-up.
// Thread rule: any thread; the module is loaded once per process.
#pragma once

#include <string>

#include "platform/foundation/status.h"
#include "platform/ui/render.h"
#include "platform/ui/view.h"

namespace platform::ui {

// The calls of the module, in the same terms as render.h. The module is
// built from this tree with these very types, so views cross as they are.
struct RendererModule {
  int interfaceVersion = 0;
  foundation::Result<std::string> (*pngData)(const View&, const RenderOptions&) = nullptr;
  foundation::Result<std::string> (*svgData)(const View&, const RenderOptions&) = nullptr;
  // The module keeps its own image catalogue; the program's assets are
  // handed over before each drawing.
  void (*registerImageAsset)(const std::string& name, std::string_view pngBytes,
                             double scale) = nullptr;
};
inline constexpr int kRendererModuleInterfaceVersion = 1;
inline constexpr const char* kRendererModuleEntry = "quorvel_renderer_module";

// Like renderToPNGData / renderToSVGData, through the module: loads it on
// first use from the program's own folder (then from the build tree it was
// made in) and fails with kUnsupported, naming the reason, when it cannot.
foundation::Result<std::string> renderToPNGDataWithModule(const View& view,
                                                          const RenderOptions& options);
foundation::Result<std::string> renderToSVGDataWithModule(const View& view,
                                                          const RenderOptions& options);

}  // namespace platform::ui
