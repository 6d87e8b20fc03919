// Pieces every widget root shares. Safe from any thread.
#pragma once

#include "platform/ui/view.h"

namespace quorvel {

// The widget's container background made clear, so the view's own
// background colour is what shows.
platform::ui::View clearWidgetBackground(const platform::ui::View& content);

// Hands the main bundle's string table to the toolkit before the first
// localized text is built. Cheap after the first call.
void ensureMainBundle();

}  // namespace quorvel
