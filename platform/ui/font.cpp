#include "platform/ui/font.h"

namespace platform::ui {

const char* weightName(Font::Weight weight) {
  switch (weight) {
    case Font::Weight::ultraLight:
      return "ultraLight";
    case Font::Weight::thin:
      return "thin";
    case Font::Weight::light:
      return "light";
    case Font::Weight::regular:
      return "regular";
    case Font::Weight::medium:
      return "medium";
    case Font::Weight::semibold:
      return "semibold";
    case Font::Weight::bold:
      return "bold";
    case Font::Weight::heavy:
      return "heavy";
    case Font::Weight::black:
      return "black";
  }
  return "regular";
}

const char* designName(Font::Design design) {
  switch (design) {
    case Font::Design::default_:
      return "default";
    case Font::Design::serif:
      return "serif";
    case Font::Design::rounded:
      return "rounded";
    case Font::Design::monospaced:
      return "monospaced";
  }
  return "default";
}

void PrintTo(const Font& font, std::ostream* out) {
  *out << "system(" << font.size() << ", " << weightName(font.weight()) << ", "
       << designName(font.design()) << ")";
}

}  // namespace platform::ui
