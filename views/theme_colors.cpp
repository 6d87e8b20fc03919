#include "views/theme_colors.h"

#include <string>

namespace quorvel {

using platform::ui::Color;

namespace {

constexpr Color rgb8(int red, int green, int blue) {
  return Color(red / 255.0, green / 255.0, blue / 255.0);
}

Color themed(const Color& light, const Color& dark) {
  const std::string theme =
      Defaults::shared().userDefaults().string(kCurrentThemeKey).value_or("system");
  if (theme == "light") return light;
  if (theme == "dark") return dark;
  return dynamicColor(light, dark);
}

}  // namespace

Defaults& Defaults::shared() {
  static Defaults* instance = new Defaults();  // lives for the process
  return *instance;
}

Color dynamicColor(const Color& light, const Color& dark) { return Color::dynamic(light, dark); }

Color ThemeColors::primaryTextColor() { return themed(rgb8(29, 30, 31), Color::white()); }
Color ThemeColors::secondaryTextColor() { return themed(rgb8(147, 154, 164), Color::gray()); }
Color ThemeColors::mutedFillColor() { return themed(rgb8(147, 154, 164), rgb8(170, 170, 170)); }
Color ThemeColors::mutedTextColor() { return themed(rgb8(74, 74, 74), rgb8(230, 230, 238)); }
Color ThemeColors::backgroundColor() { return themed(Color::white(), Color::black()); }

const Color& ThemeColors::accentColor() {
  static const Color accent = rgb8(0, 122, 255);
  return accent;
}

}  // namespace quorvel
