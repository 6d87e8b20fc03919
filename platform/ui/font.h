// Font: the system font at a size, weight and design, as a constexpr value.
// Copy freely, safe on any thread. The renderer draws it with Inter (falling
// back to DejaVu Sans) at the size in points.
#pragma once

#include <ostream>

namespace platform::ui {

class Font {
 public:
  enum class Weight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };
  // `default_` is the toolkit's `.default` (a C++ keyword); the others are
  // accepted but drawn like it.
  enum class Design { default_, serif, rounded, monospaced };

  // Font.system(size:weight:design:). A size that is not a positive finite
  // number is drawn at the default 17.
  static constexpr Font system(double size, Weight weight = Weight::regular,
                               Design design = Design::default_) {
    return Font(size, weight, design);
  }
  // The text style used where no font is set (body, 17 pt regular).
  static constexpr Font body() { return Font(17, Weight::regular, Design::default_); }

  constexpr double size() const { return size_; }
  constexpr Weight weight() const { return weight_; }
  constexpr Design design() const { return design_; }

  friend bool operator==(const Font&, const Font&) = default;

 private:
  constexpr Font(double size, Weight weight, Design design)
      : size_(size), weight_(weight), design_(design) {}

  double size_;
  Weight weight_;
  Design design_;
};

const char* weightName(Font::Weight weight);  // "regular", "semibold", ...
const char* designName(Font::Design design);  // "default", "serif", ...
void PrintTo(const Font& font, std::ostream* out);

}  // namespace platform::ui
