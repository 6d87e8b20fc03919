#include "platform/ui/color.h"

namespace platform::ui {
namespace {

void printRgba(const Rgba& c, std::ostream* out) {
  *out << "(" << c.red << ", " << c.green << ", " << c.blue << ", " << c.opacity << ")";
}

}  // namespace

void PrintTo(const Color& color, std::ostream* out) {
  if (color.isDynamic()) {
    *out << "dynamic light ";
    printRgba(color.light(), out);
    *out << " dark ";
    printRgba(color.dark(), out);
  } else {
    printRgba(color.light(), out);
  }
}

}  // namespace platform::ui
