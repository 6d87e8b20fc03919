// The resident host's page: the widgets as drawn, their texts for screen
// readers, entry time, reload policy and next reload, kept current from the
// host's event stream. Static text; any thread.
#pragma once

#include <string_view>

namespace platform::widgetkit {

// Reads GET /events: each message is the host's state,
// {"appearance":..,"widgets":[{"kind","family","width","height","version",
//  "request","policy","date","nextReload","reloading","texts","url"}]},
// and each widget's drawing is GET /widgets/<kind>-<appearance>.png.
std::string_view residentPageHTML();

}  // namespace platform::widgetkit
