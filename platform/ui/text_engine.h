// Text measurement and drawing with Pango, inside platform/ui only.
// Fonts: the family list "Inter, DejaVu Sans" at the requested weight, with
// the system font's size-dependent tracking and a fixed line height of
// kLineHeightEm x size (baseline kBaselineEm x size below the line top), so
// text measures the same at every pixel scale.
// Thread rule: any thread; each thread measures with its own Pango context,
// made on first use.
#pragma once

#include <cairo.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/geometry.h"
#include "platform/ui/view.h"

namespace platform::ui::detail {

inline constexpr double kLineHeightEm = 1.193359;
inline constexpr double kBaselineEm = 0.952148;

struct StyledRun {
  std::string text;
  Font font = Font::body();
  Color color = Color::black();
};

struct TextStyle {
  std::optional<int> lineLimit;  // nullopt: wrap onto as many lines as needed
  double minimumScaleFactor = 1;
  TextAlignment alignment = TextAlignment::leading;
};

// How a text answers one proposal, and what it then draws.
struct TextFit {
  Size size;         // reported size, points
  double scale = 1;  // drawn font size / requested size
  int lineCount = 0;
  bool truncated = false;
  std::string shownText;            // after truncation; empty when nothing is drawn
  std::vector<StyledRun> runs;      // what is drawn (single line: after truncation)
  std::optional<double> wrapWidth;  // points, 0 to under a million; none: unwrapped
  int maxLines = 0;                 // 0: no limit
};

// Sanitised runs: valid UTF-8, bounded length, usable sizes.
std::vector<StyledRun> prepareRuns(std::vector<StyledRun> runs);

TextFit fitText(const std::vector<StyledRun>& runs, const TextStyle& style, ProposedSize proposal);

// Draws `fit` with its top left at `frame.origin`, lines aligned inside
// frame.size.width by the style's alignment.
void drawText(cairo_t* cr, const TextFit& fit, const TextStyle& style, const Rect& frame,
              ColorScheme scheme);

// The system font's tracking at `size` points, in points.
double trackingForSize(double size);

}  // namespace platform::ui::detail
