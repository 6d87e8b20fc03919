#include "views/entry_views.h"

#include "platform/ui/font.h"
#include "platform/ui/image.h"
#include "platform/ui/text.h"
#include "views/change_views.h"
#include "views/number_format.h"
#include "views/theme_colors.h"
#include "views/widget_primitives.h"

namespace quorvel {

using namespace platform::ui;

namespace {

const _FlexFrameLayout kFill{
    .maxWidth = kInfinity, .maxHeight = kInfinity, .alignment = Alignment::leading};
const _FlexFrameLayout kFillCentered{
    .maxWidth = kInfinity, .maxHeight = kInfinity, .alignment = Alignment::center};
const RoundedRectangle kRounded8{8, RoundedCornerStyle::continuous};

// "$" and the balance, through the "$%@" key; "0.00" when the balance
// cannot be formatted.
Text balanceText(double todayBalance) {
  return Text(LocalizedStringKey("$%@", {displayNumberString(todayBalance).value_or("0.00")}));
}

// Both states carry the deep link and the clear container background, in
// that order, outside everything else.
View widgetRoot(View content, const std::string& deeplinkURL) {
  return clearWidgetBackground(content.widgetURL(deeplinkURL));
}

View smallBalance(const PortfolioWidget& p) {
  const auto text = [](const Text& t) {
    return t.frame(kFill)
        .aspectRatio(std::nullopt, ContentMode::fill)
        .minimumScaleFactor(0.5)
        .lineLimit(1)
        .foregroundColor(ThemeColors::primaryTextColor());
  };
  return HStack(
             VerticalAlignment::center, std::nullopt,
             {VStack(HorizontalAlignment::leading, 10,
                     {Spacer(),
                      text(Text(LocalizedStringKey("Localizable.current_balance"))
                               .font(Font::system(14, Font::Weight::semibold))),
                      text(balanceText(p.todayBalance).font(Font::system(22, Font::Weight::bold))),
                      QuorvelWidgetsPriceChangeView{p.todayBalance - p.yesterdayBalance}.body(),
                      Spacer()})})
      .frame(kFill)
      .padding(EdgeInsets{20, 8, 20, 8})
      .background(ThemeColors::backgroundColor());
}

View smallEmpty() {
  const Color accent = ThemeColors::accentColor();
  return HStack(VerticalAlignment::center, 4,
                {Image::systemName("plus.circle.fill")
                     .resizable(EdgeInsets{}, ResizingMode::stretch)
                     .frame(16, 16, Alignment::center)
                     .foregroundColor(accent),
                 Text(LocalizedStringKey("localizable_add_portfolio"))
                     .font(Font::system(14, Font::Weight::regular))
                     .multilineTextAlignment(TextAlignment::center)
                     .foregroundColor(accent)})
      .frame(kFillCentered)
      .background(ThemeColors::backgroundColor());
}

// The percent change of the day. Two zero balances have not changed at all:
// the flat 0.00% badge, not a not-a-number loss.
double percentChange(const PortfolioWidget& p) {
  if (p.todayBalance == 0 && p.yesterdayBalance == 0) return 0;
  return ((p.todayBalance - p.yesterdayBalance) * 100) / p.yesterdayBalance;
}

View mediumBalance(const PortfolioWidget& p) {
  const auto line = [](const Text& t) {
    return t.frame(kFill)
        .foregroundColor(ThemeColors::primaryTextColor())
        .aspectRatio(std::nullopt, ContentMode::fill)
        .minimumScaleFactor(0.5)
        .lineLimit(1);
  };
  View header = HStack(VerticalAlignment::center, 8,
                       {line(Text(LocalizedStringKey("Localizable.current_balance"))
                                 .font(Font::system(14, Font::Weight::semibold))),
                        Image("quorvel-icon")
                            .resizable(EdgeInsets{}, ResizingMode::stretch)
                            .aspectRatio(std::nullopt, ContentMode::fit)
                            .frame(40, 40, Alignment::center)
                            .clipShape(kRounded8)});
  View figures =
      HStack(VerticalAlignment::center, 8,
             {VStack(HorizontalAlignment::leading, 10,
                     {line(balanceText(p.todayBalance).font(Font::system(22, Font::Weight::bold))),
                      QuorvelWidgetsPriceChangeView{p.todayBalance - p.yesterdayBalance}.body()}),
              QuorvelWidgetsPercentChangeView{percentChange(p)}.body()});
  return VStack(HorizontalAlignment::leading, 10, {Spacer(), header, figures, Spacer()})
      .frame(kFill)
      .padding(EdgeInsets{20, 16, 20, 16})
      .background(ThemeColors::backgroundColor());
}

View mediumEmpty() {
  const Color blue(0.047058823529411764, 0.49019607843137253, 0.984313725490196);
  return HStack(VerticalAlignment::center, std::nullopt,
                {VStack(HorizontalAlignment::center, 8,
                        {Text(LocalizedStringKey("Localizable.your_portfolio_empty"))
                             .foregroundColor(ThemeColors::primaryTextColor())
                             .font(Font::system(15, Font::Weight::semibold))
                             .frame(kFillCentered),
                         Text(LocalizedStringKey(
                                  "Localizable.keep_track_of_your_profits_loses_and_portfolio_"
                                  "valuation_start_building_your_portfolio_today"))
                             .foregroundColor(ThemeColors::secondaryTextColor())
                             .font(Font::system(14, Font::Weight::regular))
                             .multilineTextAlignment(TextAlignment::center)
                             .fixedSize(false, true),
                         Text(LocalizedStringKey("Localizable.add_new_asset"))
                             .foregroundColor(Color::white())
                             .font(Font::system(14, Font::Weight::semibold))
                             .frame(_FlexFrameLayout{.maxWidth = kInfinity,
                                                     .alignment = Alignment::center})
                             .padding(EdgeInsets{4, 4, 4, 4}, EdgeSet::top | EdgeSet::bottom)
                             .background(blue)
                             .clipShape(kRounded8)})})
      .frame(kFillCentered)
      .padding(EdgeInsets{20, 10, 20, 10})
      .background(ThemeColors::backgroundColor());
}

}  // namespace

View QuorvelWidgetsEntrySmallView::body() const {
  ensureMainBundle();
  View content = entry.portfolio ? View(ConditionalContent::first(smallBalance(*entry.portfolio)))
                                 : View(ConditionalContent::second(smallEmpty()));
  return widgetRoot(content, deeplinkURL);
}

View QuorvelWidgetsEntryMediumView::body() const {
  ensureMainBundle();
  View content = entry.portfolio ? View(ConditionalContent::first(mediumBalance(*entry.portfolio)))
                                 : View(ConditionalContent::second(mediumEmpty()));
  return widgetRoot(content, deeplinkURL);
}

}  // namespace quorvel
