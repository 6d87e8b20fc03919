// Vector shapes drawn by the renderer, inside platform/ui only: rounded
// rectangles (continuous or circular corners) and the platform symbols the
// toolkit knows. Pure drawing into a caller's cairo context; any thread.
// Every rectangle and radius given is finite: the layout clamps and snaps
// what it draws.
#pragma once

#include <cairo.h>

#include <string_view>

#include "platform/ui/color.h"
#include "platform/ui/geometry.h"
#include "platform/ui/view.h"

namespace platform::ui::detail {

// Appends `rect` with rounded corners to the current path (a closed sub-path,
// clockwise). The radius is limited so that corners never overlap.
void appendRoundedRect(cairo_t* cr, const Rect& rect, double cornerRadius,
                       RoundedCornerStyle style);

// Whether `name` is a symbol drawSymbol knows.
bool isKnownSymbol(std::string_view name);

// Draws the symbol `name` filling the largest centred square of `box` (of a
// positive size), in `color`. Unknown names draw nothing.
void drawSymbol(cairo_t* cr, std::string_view name, const Rect& box, const Rgba& color);

// Sets `color` as the source, channels clamped to 0..1 and NaN taken as 0.
void setSourceColor(cairo_t* cr, const Rgba& color);

}  // namespace platform::ui::detail
