// Renderer: draws a view tree as a widget, into a PNG, an SVG or pixels.
// The root is proposed the widget size (full bleed), laid out (layout.h) and
// drawn inside the widget's rounded container: everything outside its
// continuous rounded corners stays transparent. Dynamic colours are resolved
// with the render's colour scheme (unspecified draws like light). The
// container background (containerBackground) is drawn behind everything.
// Fonts are set up on first use per thread, never at start-up.
// Thread rule: any thread; renders share nothing but the per-thread font map.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/status.h"
#include "platform/ui/color.h"
#include "platform/ui/geometry.h"
#include "platform/ui/view.h"

namespace platform::ui {

// The widget's corner radius, drawn with continuous corners.
inline constexpr double kWidgetCornerRadius = 22;
// What iOS 17 insets widget content by on the Home Screen.
inline constexpr double kWidgetContentMargin = 16;

struct RenderOptions {
  // Points; each side finite, > 0 and <= kMaxRenderSide. The widget host
  // gives the size of the widget's family: the toolkit knows no widget sizes.
  Size size{};
  double scale = 3;  // pixels per point, 1 to 3 (up to kMaxRenderScale)
  ColorScheme colorScheme = ColorScheme::light;
  double cornerRadius = kWidgetCornerRadius;  // 0 draws a plain rectangle
  // false: full bleed (content proposed the whole widget). true: content
  // proposed the widget minus kWidgetContentMargin per edge and drawn at that
  // inset; the band shows the container background.
  bool contentMargins = false;
  // What shows in that margin band behind a clear container background
  // (nothing: transparent). Ignored for full bleed.
  std::optional<Color> contentMarginFill = std::nullopt;
};
inline constexpr double kMaxRenderSide = 4096;
inline constexpr double kMaxRenderScale = 4;

// Pixels as cairo keeps them: one premultiplied ARGB word per pixel, rows
// top to bottom without padding.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  // The pixel at (x, y) with alpha divided out, 8 bits per channel;
  // transparent black outside the bitmap.
  struct Pixel {
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
    friend bool operator==(const Pixel&, const Pixel&) = default;
  };
  Pixel pixel(int x, int y) const;
};

// Each fails with kInvalidArgument for an unusable size or scale, and with
// kIOError when the file cannot be written. Bad content (NaN frames, empty or
// huge text, missing fonts or assets) never fails: it draws what it can.
foundation::Result<Bitmap> renderToBitmap(const View& view, const RenderOptions& options);
foundation::Result<std::string> renderToPNGData(const View& view, const RenderOptions& options);
foundation::Status renderToPNG(const View& view, const RenderOptions& options,
                               const std::filesystem::path& path);
foundation::Result<std::string> renderToSVGData(const View& view, const RenderOptions& options);
foundation::Status renderToSVG(const View& view, const RenderOptions& options,
                               const std::filesystem::path& path);

// The natural size of a registered image asset in points (its PNG decoded on
// first use), or nullopt when there is no such asset or it is not a PNG.
std::optional<Size> imageAssetSize(std::string_view name);

}  // namespace platform::ui
