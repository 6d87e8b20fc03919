// The change indicators: a coloured percent pill and a coloured 24-hour
// dollar-change line. Direction: gain when v > 0, flat when v == 0 (either
// zero), loss otherwise (so not-a-number reads as a loss). The magnitude is
// shown; the sign is carried by the arrow and the colour.
// Plain values; their bodies may be built on any thread.
#pragma once

#include "platform/ui/view.h"

namespace quorvel {

const platform::ui::Color& gainColor();  // (35, 171, 108)
const platform::ui::Color& lossColor();  // (255, 53, 78)

enum class Direction { gain, flat, loss };
Direction directionOf(double value);

// e.g. ↑2.35% white on gainColor; 0.00% muted when flat.
struct QuorvelWidgetsPercentChangeView {
  double percent = 0;
  platform::ui::View body() const;
};

// e.g. $12.30↑ (24h) in gainColor; white when flat.
struct QuorvelWidgetsPriceChangeView {
  double price = 0;
  platform::ui::View body() const;
};

}  // namespace quorvel
