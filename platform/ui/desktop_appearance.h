// The desktop's light or dark preference, for drawing "as the system does".
// Safe from any thread; reads the environment and may ask the desktop's
// settings portal (through gdbus, when a session bus is there) on each call.
#pragma once

#include "platform/ui/color.h"

namespace platform::ui {

// GTK_THEME, when set, decides: dark when it ends in ":dark", else light.
// Otherwise the freedesktop setting org.freedesktop.appearance
// color-scheme read through the settings portal: dark for 1 ("prefer
// dark"), light for anything else. Light when neither can be read.
ColorScheme desktopColorScheme();

}  // namespace platform::ui
