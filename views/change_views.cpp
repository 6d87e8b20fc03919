#include "views/change_views.h"

#include <cmath>

#include "platform/ui/font.h"
#include "platform/ui/text.h"
#include "views/number_format.h"
#include "views/theme_colors.h"
#include "views/widget_primitives.h"

namespace quorvel {

using namespace platform::ui;

const Color& gainColor() {
  static const Color color(35 / 255.0, 171 / 255.0, 108 / 255.0);
  return color;
}

const Color& lossColor() {
  static const Color color(255 / 255.0, 53 / 255.0, 78 / 255.0);
  return color;
}

Direction directionOf(double value) {
  if (value > 0) return Direction::gain;
  if (value == 0) return Direction::flat;
  return Direction::loss;
}

namespace {

const char* arrow(Direction direction) {
  switch (direction) {
    case Direction::gain:
      return "↑";
    case Direction::loss:
      return "↓";
    case Direction::flat:
      return "";
  }
  return "";
}

}  // namespace

View QuorvelWidgetsPercentChangeView::body() const {
  ensureMainBundle();
  const Direction direction = directionOf(percent);
  const auto number = displayNumberString(std::fabs(percent));
  const std::string label = number ? arrow(direction) + *number : "0.0";
  const Font font = Font::system(14, Font::Weight::semibold);
  const Text text = Text::verbatim(label).font(font) + Text(LocalizedStringKey("%")).font(font);
  const Color fill = direction == Direction::gain   ? gainColor()
                     : direction == Direction::flat ? ThemeColors::mutedFillColor()
                                                    : lossColor();
  const Color ink = direction == Direction::flat ? ThemeColors::mutedTextColor() : Color::white();
  return text.padding(EdgeInsets{6, 8, 6, 8})
      .background(fill)
      .clipShape(RoundedRectangle{8, RoundedCornerStyle::continuous})
      .aspectRatio(std::nullopt, ContentMode::fill)
      .minimumScaleFactor(0.5)
      .lineLimit(1)
      .foregroundColor(ink);
}

View QuorvelWidgetsPriceChangeView::body() const {
  const Direction direction = directionOf(price);
  const auto number = displayNumberString(std::fabs(price));
  const std::string label = number ? "$" + *number + arrow(direction) + " (24h)" : "$0.0 (24h)";
  // A flat day has no colour of its own: it reads like the balance above it.
  const Color ink = direction == Direction::gain   ? gainColor()
                    : direction == Direction::flat ? ThemeColors::primaryTextColor()
                                                   : lossColor();
  return Text::verbatim(label)
      .font(Font::system(14, Font::Weight::semibold))
      .frame(_FlexFrameLayout{
          .maxWidth = kInfinity, .maxHeight = kInfinity, .alignment = Alignment::leading})
      .aspectRatio(std::nullopt, ContentMode::fill)
      .minimumScaleFactor(0.5)
      .lineLimit(1)
      .foregroundColor(ink);
}

}  // namespace quorvel
