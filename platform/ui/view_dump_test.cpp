#include "platform/ui/view_dump.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/ui/image.h"
#include "platform/ui/text.h"

namespace platform::ui {
namespace {

using nlohmann::json;

const Font kSemibold14 = Font::system(14, Font::Weight::semibold);
const Color kGreen(0.25, 0.5, 0.75);

json rgba(double r, double g, double b, double o = 1) {
  return {{"red", r}, {"green", g}, {"blue", b}, {"opacity", o}};
}

TEST(ViewDumpTest, StacksDumpAlignmentSpacingAndChildrenInOrder) {
  const json dump =
      dumpView(VStack(HorizontalAlignment::leading, 10,
                      {Spacer(), HStack(VerticalAlignment::center, std::nullopt, {})}));
  EXPECT_EQ(dump["type"], "VStack");
  EXPECT_EQ(dump["alignment"], "leading");
  EXPECT_EQ(dump["spacing"], 10.0);
  ASSERT_EQ(dump["children"].size(), 2u);
  EXPECT_EQ(dump["children"][0],
            (json{{"type", "Spacer"}, {"minLength", nullptr}, {"modifiers", json::array()}}));
  EXPECT_EQ(dump["children"][1]["type"], "HStack");
  EXPECT_EQ(dump["children"][1]["alignment"], "center");
  EXPECT_EQ(dump["children"][1]["spacing"], nullptr);
  EXPECT_EQ(dump["modifiers"], json::array());
}

TEST(ViewDumpTest, LocalizedTextRunShowsLookedUpTextAndKey) {
  const json dump = dumpView(Text(LocalizedStringKey("$%@", {"12,345.68"})));
  EXPECT_EQ(dump["type"], "Text");
  ASSERT_EQ(dump["runs"].size(), 1u);
  EXPECT_EQ(dump["runs"][0]["text"], "$12,345.68");
  EXPECT_EQ(dump["runs"][0]["key"], "$%@");
  EXPECT_EQ(dump["runs"][0]["arguments"], json::array({"12,345.68"}));
  EXPECT_FALSE(dump["runs"][0].contains("font"));
  EXPECT_FALSE(dump["runs"][0].contains("foregroundColor"));
}

TEST(ViewDumpTest, ConcatenatedTextKeepsEachRunsFontAndColour) {
  const Text badge = Text::verbatim("↑2.35").font(kSemibold14).foregroundColor(kGreen) +
                     Text(LocalizedStringKey("%")).font(Font::system(12));
  const json runs = dumpView(badge)["runs"];
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0],
            (json{{"text", "↑2.35"},
                  {"font", {{"size", 14.0}, {"weight", "semibold"}, {"design", "default"}}},
                  {"foregroundColor", rgba(0.25, 0.5, 0.75)}}));
  EXPECT_EQ(runs[1]["text"], "%");
  EXPECT_EQ(runs[1]["key"], "%");
  EXPECT_EQ(runs[1]["font"]["size"], 12.0);
  EXPECT_EQ(runs[1]["font"]["weight"], "regular");
  EXPECT_FALSE(runs[1].contains("foregroundColor"));
}

TEST(ViewDumpTest, TextLevelFontDoesNotOverrideARunsOwnFont) {
  const Text joined =
      (Text::verbatim("a").font(kSemibold14) + Text::verbatim("b")).font(Font::system(9));
  EXPECT_EQ(joined.runs()[0].font, kSemibold14);
  EXPECT_EQ(joined.runs()[1].font, Font::system(9));
  EXPECT_EQ(joined.string(), "ab");
}

TEST(ViewDumpTest, ImagesDumpNameOrSystemNameAndResizable) {
  const json asset = dumpView(Image("app-icon").resizable());
  EXPECT_EQ(asset["type"], "Image");
  EXPECT_EQ(asset["name"], "app-icon");
  EXPECT_EQ(asset["resizable"]["resizingMode"], "stretch");
  EXPECT_EQ(asset["resizable"]["capInsets"],
            (json{{"top", 0.0}, {"leading", 0.0}, {"bottom", 0.0}, {"trailing", 0.0}}));
  const json symbol = dumpView(Image::systemName("plus.circle.fill"));
  EXPECT_EQ(symbol["systemName"], "plus.circle.fill");
  EXPECT_EQ(symbol["resizable"], nullptr);
}

TEST(ViewDumpTest, ColoursDumpComponentsOrDynamicPair) {
  EXPECT_EQ(dumpView(Color::white()),
            (json{{"type", "Color"}, {"color", rgba(1, 1, 1)}, {"modifiers", json::array()}}));
  EXPECT_EQ(dumpColor(Color::clear()), rgba(0, 0, 0, 0));
  EXPECT_EQ(dumpColor(Color::dynamic(Color::white(), Color::black())),
            (json{{"dynamic", {{"light", rgba(1, 1, 1)}, {"dark", rgba(0, 0, 0)}}}}));
}

TEST(ViewDumpTest, EveryModifierDumpsItsParametersInTheOrderApplied) {
  // On a View, font is the environment modifier (on a Text it sets the runs').
  const View view =
      View(Text::verbatim("x"))
          .font(kSemibold14)
          .padding(EdgeInsets{4, 4, 4, 4}, EdgeSet::top | EdgeSet::bottom)
          .frame(40, 40)
          .frame(FlexFrame{
              .maxWidth = kInfinity, .maxHeight = kInfinity, .alignment = Alignment::leading})
          .aspectRatio(std::nullopt, ContentMode::fill)
          .fixedSize(false, true)
          .background(kGreen)
          .background(Color::clear(), Alignment::center)
          .clipShape(RoundedRectangle{8, RoundedCornerStyle::continuous})
          .foregroundColor(Color::white())
          .lineLimit(1)
          .minimumScaleFactor(0.5)
          .multilineTextAlignment(TextAlignment::center)
          .widgetURL("example-widget://open")
          .containerBackground(Color::clear());
  const json modifiers = dumpView(view)["modifiers"];
  ASSERT_EQ(modifiers.size(), 15u);
  const std::vector<std::string> types = {"font",
                                          "padding",
                                          "frame",
                                          "flexFrame",
                                          "aspectRatio",
                                          "fixedSize",
                                          "background",
                                          "background",
                                          "clip",
                                          "foregroundColor",
                                          "lineLimit",
                                          "minimumScaleFactor",
                                          "multilineTextAlignment",
                                          "widgetURL",
                                          "containerBackground"};
  for (std::size_t i = 0; i < types.size(); ++i) EXPECT_EQ(modifiers[i]["type"], types[i]) << i;

  EXPECT_EQ(modifiers[0]["font"]["size"], 14.0);
  EXPECT_EQ(modifiers[1]["insets"]["top"], 4.0);
  EXPECT_EQ(modifiers[1]["edges"], json::array({"top", "bottom"}));
  EXPECT_EQ(modifiers[2],
            (json{{"type", "frame"}, {"width", 40.0}, {"height", 40.0}, {"alignment", "center"}}));
  EXPECT_EQ(modifiers[3]["maxWidth"], "infinity");
  EXPECT_EQ(modifiers[3]["maxHeight"], "infinity");
  EXPECT_EQ(modifiers[3]["minWidth"], nullptr);
  EXPECT_EQ(modifiers[3]["alignment"], "leading");
  EXPECT_EQ(modifiers[4],
            (json{{"type", "aspectRatio"}, {"ratio", nullptr}, {"contentMode", "fill"}}));
  EXPECT_EQ(modifiers[5], (json{{"type", "fixedSize"}, {"horizontal", false}, {"vertical", true}}));
  EXPECT_EQ(modifiers[6]["color"], rgba(0.25, 0.5, 0.75));
  EXPECT_EQ(modifiers[7]["view"]["type"], "Color");
  EXPECT_EQ(modifiers[7]["alignment"], "center");
  EXPECT_EQ(modifiers[8]["shape"],
            (json{{"type", "RoundedRectangle"}, {"cornerRadius", 8.0}, {"style", "continuous"}}));
  EXPECT_EQ(modifiers[9]["color"], rgba(1, 1, 1));
  EXPECT_EQ(modifiers[10]["limit"], 1);
  EXPECT_EQ(modifiers[11]["factor"], 0.5);
  EXPECT_EQ(modifiers[12]["alignment"], "center");
  EXPECT_EQ(modifiers[13]["url"], "example-widget://open");
  EXPECT_EQ(modifiers[14]["placement"], "widget");
  EXPECT_EQ(modifiers[14]["view"]["color"], rgba(0, 0, 0, 0));
}

TEST(ViewDumpTest, ConditionalDumpsPresentBranchWithMarkerAndOuterModifiersAfter) {
  const View root = ConditionalContent::second(Spacer().background(Color::black()))
                        .widgetURL("example-widget://open");
  const json dump = dumpView(root);
  EXPECT_EQ(dump["type"], "Spacer");
  EXPECT_EQ(dump["branch"], "second");
  ASSERT_EQ(dump["modifiers"].size(), 2u);
  EXPECT_EQ(dump["modifiers"][0]["type"], "background");
  EXPECT_EQ(dump["modifiers"][1]["type"], "widgetURL");
  EXPECT_EQ(dumpView(ConditionalContent::first(Color::white()))["branch"], "first");
}

TEST(ViewDumpTest, NumbersJsonCannotHoldBecomeStrings) {
  EXPECT_EQ(dumpNumber(kInfinity), "infinity");
  EXPECT_EQ(dumpNumber(-kInfinity), "-infinity");
  EXPECT_EQ(dumpNumber(std::nan("")), "nan");
  const json frame =
      dumpView(View(Color::black()).frame(std::nan(""), std::nullopt))["modifiers"][0];
  EXPECT_EQ(frame["width"], "nan");
  // The whole dump is valid JSON text.
  EXPECT_NO_THROW(json::parse(dumpView(Color(std::nan(""), 0, kInfinity)).dump()));
}

TEST(ViewDumpTest, EmptyViewHasItsOwnType) {
  EXPECT_EQ(dumpView(View()), (json{{"type", "EmptyView"}, {"modifiers", json::array()}}));
}

TEST(ViewDumpTest, ModifiersReturnCopiesAndLeaveTheOriginalAlone) {
  const View base = Color::white();
  const View padded = base.padding(4);
  EXPECT_TRUE(base.node().modifiers.empty());
  EXPECT_EQ(padded.node().modifiers.size(), 1u);
}

}  // namespace
}  // namespace platform::ui
