#include "platform/ui/font.h"

#include <cstddef>

namespace platform::ui {

const char* weightName(Font::Weight weight) {
  static constexpr const char* kNames[] = {"ultraLight", "thin", "light", "regular", "medium",
                                           "semibold",   "bold", "heavy", "black"};
  return kNames[static_cast<std::size_t>(weight)];
}

const char* designName(Font::Design design) {
  static constexpr const char* kNames[] = {"default", "serif", "rounded", "monospaced"};
  return kNames[static_cast<std::size_t>(design)];
}

void PrintTo(const Font& font, std::ostream* out) {
  *out << "system(" << font.size() << ", " << weightName(font.weight()) << ", "
       << designName(font.design()) << ")";
}

}  // namespace platform::ui
