#include "platform/ui/view_dump.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "platform/ui/image.h"

namespace platform::ui {
namespace {

using nlohmann::ordered_json;

// The product's views are dumped whole against files in views/testdata; this
// covers what they never use.
TEST(ViewDumpTest, NodesAndModifiersTheViewsDoNotUseDumpInNameOrder) {
  const View view =
      VStack(
          HorizontalAlignment::leading, 10,
          {Spacer(),
           HStack(VerticalAlignment::bottom, std::nullopt, {Image::systemName("plus.circle.fill")}),
           View()})
          .font(Font::system(9, Font::Weight::black, Font::Design::monospaced))
          .frame(40, std::nullopt, Alignment::bottomTrailing)
          .background(Spacer(2), Alignment::top)
          .lineLimit(std::nullopt);
  EXPECT_EQ(dumpView(view).dump(), ordered_json::parse(R"({"alignment":"leading","children":[
    {"minLength":null,"modifiers":[],"type":"Spacer"}, {"alignment":"bottom","children":[
      {"modifiers":[],"resizable":null,"systemName":"plus.circle.fill","type":"Image"}],
     "modifiers":[],"spacing":null,"type":"HStack"}, {"modifiers":[],"type":"EmptyView"}],
   "modifiers":[{"font":{"design":"monospaced","size":9.0,"weight":"black"},"type":"font"},
    {"alignment":"bottomTrailing","height":null,"type":"frame","width":40.0},
    {"alignment":"top","type":"background","view":{"minLength":2.0,"modifiers":[],"type":"Spacer"}},
    {"limit":null,"type":"lineLimit"}], "spacing":10.0,"type":"VStack"})")
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
