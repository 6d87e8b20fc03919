// ThemeColors: the themed palette of the widget views, and Defaults, the
// shared handle on the extension's standard preference store it reads.
//
// Every themed entry reads "currentTheme" afresh: "light" and "dark" give
// plain colours, anything else (or nothing) a dynamic colour that follows
// the appearance it is drawn under. accentColor does not follow the theme.
// Safe from any thread: Defaults and accentColor are created once, lazily.
#pragma once

#include <string_view>

#include "platform/foundation/user_defaults.h"
#include "platform/ui/color.h"

namespace quorvel {

inline constexpr std::string_view kCurrentThemeKey = "currentTheme";

class Defaults {
 public:
  static Defaults& shared();
  Defaults(const Defaults&) = delete;
  Defaults& operator=(const Defaults&) = delete;

  // The process's standard preference store.
  platform::foundation::UserDefaults userDefaults() const {
    return platform::foundation::UserDefaults::standard();
  }

 private:
  Defaults() = default;
};

// A colour that yields `dark` under the dark appearance and `light` under
// every other.
platform::ui::Color dynamicColor(const platform::ui::Color& light, const platform::ui::Color& dark);

struct ThemeColors {
  static platform::ui::Color primaryTextColor();
  static platform::ui::Color secondaryTextColor();
  static platform::ui::Color mutedFillColor();
  static platform::ui::Color mutedTextColor();
  static platform::ui::Color backgroundColor();
  static const platform::ui::Color& accentColor();
};

}  // namespace quorvel
