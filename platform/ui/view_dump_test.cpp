#include "platform/ui/view_dump.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "platform/ui/image.h"
#include "platform/ui/text.h"

namespace platform::ui {
namespace {

using nlohmann::ordered_json;

TEST(ViewDumpTest, EveryNodeAndModifierDumpsItsParametersInNameOrder) {
  const Font semibold14 = Font::system(14, Font::Weight::semibold);
  const View view =
      VStack(HorizontalAlignment::leading, 10,
             {Spacer(),
              HStack(VerticalAlignment::bottom, std::nullopt,
                     {Image("app-icon").resizable(), Image::systemName("plus.circle.fill")}),
              (Text::verbatim("↑2.35").font(semibold14).foregroundColor(Color(0.25, 0.5, 0.75)) +
               Text(LocalizedStringKey("$%@", {"1.00"})))
                  .font(Font::system(12)),
              View(Color::dynamic(Color::white(), Color::black())), View()})
          .font(Font::system(9, Font::Weight::black, Font::Design::monospaced))
          .padding(EdgeInsets{1, 2, 3, 4}, EdgeSet::top | EdgeSet::trailing)
          .frame(40, std::nullopt, Alignment::bottomTrailing)
          .frame(
              FlexFrame{.minWidth = 1, .maxWidth = kInfinity, .alignment = Alignment::topLeading})
          .aspectRatio(std::nullopt, ContentMode::fill)
          .fixedSize(false, true)
          .background(Color::clear())
          .background(Spacer(2), Alignment::top)
          .clipShape(RoundedRectangle{8, RoundedCornerStyle::circular})
          .foregroundColor(Color::gray())
          .lineLimit(1)
          .lineLimit(std::nullopt)
          .minimumScaleFactor(0.5)
          .multilineTextAlignment(TextAlignment::trailing)
          .widgetURL("example-widget://open")
          .containerBackground(View(), Alignment::bottom);
  // The exact text, members in their order.
  EXPECT_EQ(dumpView(view).dump(), ordered_json::parse(R"({"alignment":"leading","children":[
    {"minLength":null,"modifiers":[],"type":"Spacer"},
    {"alignment":"bottom","children":[
      {"modifiers":[],"name":"app-icon","resizable":{"capInsets":{"bottom":0.0,"leading":0.0,
       "top":0.0,"trailing":0.0},"resizingMode":"stretch"},"type":"Image"},
      {"modifiers":[],"resizable":null,"systemName":"plus.circle.fill","type":"Image"}],
     "modifiers":[],"spacing":null,"type":"HStack"},
    {"modifiers":[],"runs":[{"font":{"design":"default","size":14.0,"weight":"semibold"},
      "foregroundColor":{"blue":0.75,"green":0.5,"opacity":1.0,"red":0.25},"text":"↑2.35"},
      {"arguments":["1.00"],"font":{"design":"default","size":12.0,"weight":"regular"},"key":"$%@",
       "text":"$1.00"}],"type":"Text"},
    {"color":{"dynamic":{"dark":{"blue":0.0,"green":0.0,"opacity":1.0,"red":0.0},
      "light":{"blue":1.0,"green":1.0,"opacity":1.0,"red":1.0}}},"modifiers":[],"type":"Color"},
    {"modifiers":[],"type":"EmptyView"}],
   "modifiers":[
    {"font":{"design":"monospaced","size":9.0,"weight":"black"},"type":"font"},
    {"edges":["top","trailing"],"insets":{"bottom":3.0,"leading":2.0,"top":1.0,"trailing":4.0},
     "type":"padding"},
    {"alignment":"bottomTrailing","height":null,"type":"frame","width":40.0},
    {"alignment":"topLeading","idealHeight":null,"idealWidth":null,"maxHeight":null,
     "maxWidth":"infinity","minHeight":null,"minWidth":1.0,"type":"flexFrame"},
    {"contentMode":"fill","ratio":null,"type":"aspectRatio"},
    {"horizontal":false,"type":"fixedSize","vertical":true},
    {"color":{"blue":0.0,"green":0.0,"opacity":0.0,"red":0.0},"type":"background"},
    {"alignment":"top","type":"background",
     "view":{"minLength":2.0,"modifiers":[],"type":"Spacer"}},
    {"shape":{"cornerRadius":8.0,"style":"circular","type":"RoundedRectangle"},"type":"clip"},
    {"color":{"blue":0.5764705882352941,"green":0.5568627450980392,"opacity":1.0,
      "red":0.5568627450980392},"type":"foregroundColor"},
    {"limit":1,"type":"lineLimit"},
    {"limit":null,"type":"lineLimit"},
    {"factor":0.5,"type":"minimumScaleFactor"},
    {"alignment":"trailing","type":"multilineTextAlignment"},
    {"type":"widgetURL","url":"example-widget://open"},
    {"alignment":"bottom","placement":"widget","type":"containerBackground",
     "view":{"modifiers":[],"type":"EmptyView"}}],
   "spacing":10.0,"type":"VStack"})")
                                       .dump());
}

TEST(ViewDumpTest, NumbersJsonCannotHoldBecomeStrings) {
  const std::pair<double, ordered_json> rows[] = {
      {kInfinity, "infinity"}, {-kInfinity, "-infinity"}, {std::nan(""), "nan"}, {-2.5, -2.5}};
  for (const auto& [value, dumped] : rows) EXPECT_EQ(dumpNumber(value), dumped) << value;
  EXPECT_EQ(dumpView(View(Color::black()).frame(std::nan(""), -kInfinity))["modifiers"][0].dump(),
            R"({"alignment":"center","height":"-infinity","type":"frame","width":"nan"})");
}

}  // namespace
}  // namespace platform::ui
