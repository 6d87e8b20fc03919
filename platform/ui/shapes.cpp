#include "platform/ui/shapes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace platform::ui::detail {
namespace {

// A continuous corner in units of the radius: points measured from the
// corner back along the edge that leads in, and out along the edge that
// leads away. Each corner starts 1.52866 r before the corner, and is three
// cubic curves joined by two short lines.
constexpr double kContinuousExtent = 1.52866;
struct CornerStep {
  bool curve;
  std::array<double, 6> points;  // curve: c1, c2, end; line: end in the first pair
};
constexpr std::array<CornerStep, 5> kContinuousCorner{{
    {true, {1.08849, 0, 0.86841, 0, 0.66993, 0.06550}},
    {false, {0.63149, 0.07491, 0, 0, 0, 0}},
    {true, {0.37282, 0.16906, 0.16906, 0.37282, 0.07491, 0.63149}},
    {false, {0.06550, 0.66993, 0, 0, 0, 0}},
    {true, {0, 0.86841, 0, 1.08849, 0, 1.52866}},
}};

double clamp01(double value) { return std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0); }

}  // namespace

void setSourceColor(cairo_t* cr, const Rgba& color) {
  cairo_set_source_rgba(cr, clamp01(color.red), clamp01(color.green), clamp01(color.blue),
                        clamp01(color.opacity));
}

void appendRoundedRect(cairo_t* cr, const Rect& rect, double cornerRadius,
                       RoundedCornerStyle style) {
  const double x = rect.origin.x, y = rect.origin.y;
  const double w = std::max(0.0, rect.size.width), h = std::max(0.0, rect.size.height);
  double r = std::max(0.0, cornerRadius);
  cairo_new_sub_path(cr);
  if (style == RoundedCornerStyle::circular) {
    r = std::min(r, std::min(w, h) / 2);
    if (r <= 0) {
      cairo_rectangle(cr, x, y, w, h);
      return;
    }
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
    return;
  }
  r = std::min(r, std::min(w, h) / 2 / kContinuousExtent);
  if (r <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  // Corners clockwise from the top right: the corner point, the direction
  // of travel into it and the direction out of it.
  struct Corner {
    double cx, cy, inX, inY, outX, outY;
  };
  const std::array<Corner, 4> corners{{
      {x + w, y, 1, 0, 0, 1},
      {x + w, y + h, 0, 1, -1, 0},
      {x, y + h, -1, 0, 0, -1},
      {x, y, 0, -1, 1, 0},
  }};
  auto at = [&](const Corner& c, double back, double out) {
    return std::array<double, 2>{c.cx - back * r * c.inX + out * r * c.outX,
                                 c.cy - back * r * c.inY + out * r * c.outY};
  };
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const Corner& c = corners[i];
    const auto start = at(c, kContinuousExtent, 0);
    if (i == 0) {
      cairo_move_to(cr, start[0], start[1]);
    } else {
      cairo_line_to(cr, start[0], start[1]);
    }
    for (const CornerStep& step : kContinuousCorner) {
      const auto& p = step.points;
      if (step.curve) {
        const auto c1 = at(c, p[0], p[1]);
        const auto c2 = at(c, p[2], p[3]);
        const auto end = at(c, p[4], p[5]);
        cairo_curve_to(cr, c1[0], c1[1], c2[0], c2[1], end[0], end[1]);
      } else {
        const auto end = at(c, p[0], p[1]);
        cairo_line_to(cr, end[0], end[1]);
      }
    }
  }
  cairo_close_path(cr);
}

bool isKnownSymbol(std::string_view name) { return name == "plus.circle.fill"; }

void drawSymbol(cairo_t* cr, std::string_view name, const Rect& box, const Rgba& color) {
  if (!isKnownSymbol(name)) return;
  const double d = std::min(box.size.width, box.size.height);
  const double cx = box.origin.x + box.size.width / 2;
  const double cy = box.origin.y + box.size.height / 2;
  // A filled circle with a plus cut out: bars 0.485 of the diameter long and
  // 0.097 thick, with round ends.
  const double half = 0.485 * d / 2;
  const double t = 0.097 * d / 2;
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, d / 2, 0, 2 * M_PI);
  cairo_close_path(cr);
  cairo_new_sub_path(cr);
  // Each arm: in to the inner corner, then out along the next arm, whose
  // round end's arc draws the line to its own start.
  cairo_arc(cr, cx, cy - half + t, t, M_PI, 2 * M_PI);
  cairo_line_to(cr, cx + t, cy - t);
  cairo_arc(cr, cx + half - t, cy, t, -M_PI / 2, M_PI / 2);
  cairo_line_to(cr, cx + t, cy + t);
  cairo_arc(cr, cx, cy + half - t, t, 0, M_PI);
  cairo_line_to(cr, cx - t, cy + t);
  cairo_arc(cr, cx - half + t, cy, t, M_PI / 2, 3 * M_PI / 2);
  cairo_line_to(cr, cx - t, cy - t);
  cairo_close_path(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  setSourceColor(cr, color);
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace platform::ui::detail
