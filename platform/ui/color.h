// Color: an sRGB colour with opacity, or a dynamic pair that picks its light
// or dark member when drawn, by the appearance (ColorScheme) of the render.
// A constexpr value: copy freely, safe on any thread. Components are not
// clamped here; the renderer clamps them (and treats NaN as 0) when drawing.
#pragma once

#include <ostream>

namespace platform::ui {

// The interface style a render happens under. `unspecified` draws like light.
enum class ColorScheme { light, dark, unspecified };

// One concrete colour: sRGB components and opacity, 0 to 1.
struct Rgba {
  double red = 0;
  double green = 0;
  double blue = 0;
  double opacity = 1;
  friend bool operator==(const Rgba&, const Rgba&) = default;
};

class Color {
 public:
  // Color(red:green:blue:opacity:), sRGB components 0 to 1.
  constexpr Color(double red, double green, double blue, double opacity = 1)
      : light_{red, green, blue, opacity}, dark_{red, green, blue, opacity} {}
  constexpr explicit Color(Rgba rgba) : light_(rgba), dark_(rgba) {}

  static constexpr Color white() { return Color(1, 1, 1); }
  static constexpr Color black() { return Color(0, 0, 0); }
  // The toolkit's standard grey, (142, 142, 147) in both appearances.
  static constexpr Color gray() { return Color(142.0 / 255, 142.0 / 255, 147.0 / 255); }
  // Fully transparent: draws nothing.
  static constexpr Color clear() { return Color(0, 0, 0, 0); }

  // A colour that is `light` under the light and unspecified appearances and
  // `dark` under the dark one. A dynamic argument contributes its own member
  // for that appearance.
  static constexpr Color dynamic(const Color& light, const Color& dark) {
    return Color(light.light_, dark.dark_, true);
  }

  friend bool operator==(const Color&, const Color&) = default;

  constexpr bool isDynamic() const { return dynamic_; }
  // The colour drawn under `scheme`.
  constexpr Rgba resolve(ColorScheme scheme) const {
    return scheme == ColorScheme::dark ? dark_ : light_;
  }
  // The light and dark members; equal for a plain colour.
  constexpr Rgba light() const { return light_; }
  constexpr Rgba dark() const { return dark_; }

 private:
  constexpr Color(Rgba light, Rgba dark, bool dynamic)
      : light_(light), dark_(dark), dynamic_(dynamic) {}

  Rgba light_, dark_;
  bool dynamic_ = false;
};

void PrintTo(const Color& color, std::ostream* out);

}  // namespace platform::ui
