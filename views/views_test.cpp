#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/foundation/bundle.h"
#include "platform/ui/render.h"
#include "platform/ui/view_dump.h"
#include "tests/support/test_support.h"
#include "views/change_views.h"
#include "views/entry_views.h"
#include "views/number_format.h"
#include "views/theme_colors.h"

namespace quorvel {
namespace {

using nlohmann::json;
using platform::foundation::UserDefaults;
using platform::ui::Color;
using platform::ui::ColorScheme;
using platform::ui::dumpView;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const char* kLink = "quorvel-widget-portfolio://";

TEST(NumberFormatTest, TrimmedDecimalString) {
  EXPECT_EQ(trimmedDecimalString(1.5, 8), "1.5");
  EXPECT_EQ(trimmedDecimalString(2, 8), "2");
  EXPECT_EQ(trimmedDecimalString(0, 8), "0");
  EXPECT_EQ(trimmedDecimalString(0.000000004, 8), "0");
  EXPECT_EQ(trimmedDecimalString(1234.56789, 8), "1234.56789");
  EXPECT_EQ(trimmedDecimalString(10, 8), "10");
  EXPECT_EQ(trimmedDecimalString(100.5, 8), "100.5");
  EXPECT_EQ(trimmedDecimalString(-2.25, 8), "-2.25");
  EXPECT_EQ(trimmedDecimalString(2.5, -3), "2");  // no decimals: rounds half to even like printf
}

TEST(NumberFormatTest, FormattedNumberString) {
  EXPECT_EQ(formattedNumberString("1234.5", 2), "1,234.50");
  EXPECT_EQ(formattedNumberString("0", 2), "0.00");
  EXPECT_EQ(formattedNumberString("1000000", 2), "1,000,000.00");
  EXPECT_EQ(formattedNumberString("0.004", 2), "0.00");
  EXPECT_EQ(formattedNumberString("", 2), std::nullopt);
  EXPECT_EQ(formattedNumberString(" 1", 2), std::nullopt);
  EXPECT_EQ(formattedNumberString("1,5", 2), std::nullopt);
  EXPECT_EQ(formattedNumberString("abc", 2), std::nullopt);
}

TEST(NumberFormatTest, DisplayNumberStringRoundsHalfToEven) {
  struct Row {
    double value;
    const char* expected;
  };
  const Row rows[] = {{12345.678, "12,345.68"},
                      {345.678, "345.68"},
                      {2.88065, "2.88"},
                      {33.3333333, "33.33"},
                      {1000000000, "1,000,000,000.00"},
                      {0.125, "0.12"},
                      {0.375, "0.38"},
                      {2.5, "2.50"},
                      {0.005, "0.00"},
                      {0.015, "0.02"},
                      {-0.0, "-0.00"},
                      {0, "0.00"},
                      {0.000000004, "0.00"}};
  for (const Row& row : rows) EXPECT_EQ(displayNumberString(row.value), row.expected) << row.value;
  EXPECT_EQ(displayNumberString(kInf), "∞");
  EXPECT_EQ(displayNumberString(kNaN), "NaN");
}

class ThemedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::foundation::setMainBundleIdentifier("com.tavrin.quorvel.widgets");
  }
  void setTheme(const char* theme) {
    ASSERT_OK(UserDefaults::standardFor("com.tavrin.quorvel.widgets").set(kCurrentThemeKey, theme));
  }
  quorvel::testing::ScopedHome home_;
};

TEST_F(ThemedTest, ThemeChoosesPlainOrDynamicColoursAndIsReadEveryTime) {
  const Color nearBlack(29 / 255.0, 30 / 255.0, 31 / 255.0);
  EXPECT_EQ(ThemeColors::primaryTextColor(), Color::dynamic(nearBlack, Color::white()));
  EXPECT_EQ(ThemeColors::backgroundColor(), Color::dynamic(Color::white(), Color::black()));
  setTheme("dark");
  EXPECT_EQ(ThemeColors::backgroundColor(), Color::black());
  EXPECT_EQ(ThemeColors::primaryTextColor(), Color::white());
  setTheme("light");
  EXPECT_EQ(ThemeColors::primaryTextColor(), nearBlack);
  EXPECT_EQ(ThemeColors::mutedFillColor(), Color(147 / 255.0, 154 / 255.0, 164 / 255.0));
  setTheme("Dark");
  EXPECT_TRUE(ThemeColors::backgroundColor().isDynamic());
  EXPECT_EQ(ThemeColors::accentColor(), Color(0, 122 / 255.0, 1));
}

TEST_F(ThemedTest, DynamicColourDrawsLightUnlessTheStyleIsDark) {
  const Color c = dynamicColor(Color::white(), Color::black());
  EXPECT_EQ(c.resolve(ColorScheme::unspecified), Color::white().light());
  EXPECT_EQ(c.resolve(ColorScheme::light), Color::white().light());
  EXPECT_EQ(c.resolve(ColorScheme::dark), Color::black().light());
}

json colorJSON(const Color& c) { return dumpView(platform::ui::View(c))["color"]; }

// The first Text node found depth-first whose shown text equals `text`.
const json* findText(const json& node, const std::string& text) {
  if (node.value("type", "") == "Text") {
    std::string shown;
    for (const auto& run : node["runs"]) shown += run["text"].get<std::string>();
    if (shown == text) return &node;
  }
  if (node.contains("children")) {
    for (const auto& child : node["children"]) {
      if (const json* found = findText(child, text)) return found;
    }
  }
  return nullptr;
}

std::vector<std::string> modifierTypes(const json& node) {
  std::vector<std::string> types;
  for (const auto& m : node["modifiers"]) types.push_back(m["type"]);
  return types;
}

TEST_F(ThemedTest, PriceChangeLineShowsMagnitudeArrowAndColour) {
  setTheme("light");
  struct Row {
    double price;
    const char* label;
    Color ink;
  };
  const Row rows[] = {
      {1234.5, "$1,234.50↑ (24h)", gainColor()}, {-0.5, "$0.50↓ (24h)", lossColor()},
      {0, "$0.00 (24h)", Color::white()},        {-0.0, "$0.00 (24h)", Color::white()},
      {kNaN, "$NaN↓ (24h)", lossColor()},        {kInf, "$∞↑ (24h)", gainColor()}};
  for (const Row& row : rows) {
    json view = dumpView(QuorvelWidgetsPriceChangeView{row.price}.body());
    ASSERT_EQ(view["runs"].size(), 1u);
    EXPECT_EQ(view["runs"][0]["text"], row.label) << row.price;
    EXPECT_EQ(view["runs"][0]["font"]["size"], 14);
    EXPECT_EQ(modifierTypes(view),
              (std::vector<std::string>{"flexFrame", "aspectRatio", "minimumScaleFactor",
                                        "lineLimit", "foregroundColor"}));
    EXPECT_EQ(view["modifiers"].back()["color"], colorJSON(row.ink)) << row.price;
  }
}

TEST_F(ThemedTest, PercentPillShowsMagnitudeArrowAndColours) {
  setTheme("light");
  json gain = dumpView(QuorvelWidgetsPercentChangeView{2.5}.body());
  EXPECT_EQ(gain["runs"][0]["text"], "↑2.50");
  EXPECT_EQ(gain["runs"][1]["text"], "%");
  EXPECT_EQ(gain["runs"][1]["key"], "%");
  EXPECT_EQ(modifierTypes(gain),
            (std::vector<std::string>{"padding", "background", "clip", "aspectRatio",
                                      "minimumScaleFactor", "lineLimit", "foregroundColor"}));
  EXPECT_EQ(gain["modifiers"][1]["color"], colorJSON(gainColor()));
  EXPECT_EQ(gain["modifiers"][6]["color"], colorJSON(Color::white()));

  json loss = dumpView(QuorvelWidgetsPercentChangeView{-3.456}.body());
  EXPECT_EQ(loss["runs"][0]["text"], "↓3.46");
  EXPECT_EQ(loss["modifiers"][1]["color"], colorJSON(lossColor()));

  for (double flatValue : {0.0, -0.0}) {
    json flat = dumpView(QuorvelWidgetsPercentChangeView{flatValue}.body());
    EXPECT_EQ(flat["runs"][0]["text"], "0.00");
    EXPECT_EQ(flat["modifiers"][1]["color"], colorJSON(ThemeColors::mutedFillColor()));
    EXPECT_EQ(flat["modifiers"][6]["color"], colorJSON(ThemeColors::mutedTextColor()));
  }
  EXPECT_EQ(dumpView(QuorvelWidgetsPercentChangeView{kNaN}.body())["modifiers"][1]["color"],
            colorJSON(lossColor()));
}

TEST_F(ThemedTest, SmallBalanceViewTree) {
  setTheme("dark");
  QuorvelWidgetsEntrySmallView view{{{}, PortfolioWidget{12345.678, 12000}}, kLink};
  json root = dumpView(view.body());
  EXPECT_EQ(root["type"], "HStack");
  EXPECT_EQ(root["branch"], "first");
  EXPECT_EQ(modifierTypes(root), (std::vector<std::string>{"flexFrame", "padding", "background",
                                                           "widgetURL", "containerBackground"}));
  EXPECT_EQ(root["modifiers"][3]["url"], kLink);
  EXPECT_EQ(root["modifiers"][2]["color"], colorJSON(Color::black()));
  const json* caption = findText(root, "Current Balance");
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ((*caption)["runs"][0]["key"], "Localizable.current_balance");
  const json* balance = findText(root, "$12,345.68");
  ASSERT_NE(balance, nullptr);
  EXPECT_EQ((*balance)["runs"][0]["font"]["size"], 22);
  EXPECT_EQ(modifierTypes(*balance),
            (std::vector<std::string>{"flexFrame", "aspectRatio", "minimumScaleFactor", "lineLimit",
                                      "foregroundColor"}));
  const json* change = findText(root, "$345.68↑ (24h)");
  ASSERT_NE(change, nullptr);
}

TEST_F(ThemedTest, SmallEmptyViewTree) {
  QuorvelWidgetsEntrySmallView view{{{}, std::nullopt}, kLink};
  json root = dumpView(view.body());
  EXPECT_EQ(root["type"], "HStack");
  EXPECT_EQ(root["branch"], "second");
  EXPECT_EQ(root["spacing"], 4);
  EXPECT_EQ(modifierTypes(root), (std::vector<std::string>{"flexFrame", "background", "widgetURL",
                                                           "containerBackground"}));
  EXPECT_EQ(root["modifiers"][2]["url"], kLink);
  EXPECT_EQ(root["children"][0]["type"], "Image");
  EXPECT_EQ(root["children"][0]["systemName"], "plus.circle.fill");
  EXPECT_EQ(root["children"][1]["runs"][0]["key"], "localizable_add_portfolio");
}

TEST_F(ThemedTest, MediumBalanceViewTree) {
  QuorvelWidgetsEntryMediumView view{{{}, PortfolioWidget{100, 150}}, kLink};
  json root = dumpView(view.body());
  EXPECT_EQ(root["type"], "VStack");
  EXPECT_EQ(modifierTypes(root), (std::vector<std::string>{"flexFrame", "padding", "background",
                                                           "widgetURL", "containerBackground"}));
  EXPECT_NE(findText(root, "$100.00"), nullptr);
  EXPECT_NE(findText(root, "$50.00↓ (24h)"), nullptr);
  EXPECT_NE(findText(root, "↓33.33%"), nullptr);
  const json& header = root["children"][1];
  EXPECT_EQ(header["children"][1]["type"], "Image");
  EXPECT_EQ(modifierTypes(header["children"][1]),
            (std::vector<std::string>{"aspectRatio", "frame", "clip"}));
  EXPECT_EQ(modifierTypes(header["children"][0]),
            (std::vector<std::string>{"flexFrame", "foregroundColor", "aspectRatio",
                                      "minimumScaleFactor", "lineLimit"}));
}

TEST_F(ThemedTest, MediumPercentEdgeCases) {
  auto pill = [](PortfolioWidget p) {
    json root = dumpView(QuorvelWidgetsEntryMediumView{{{}, p}, kLink}.body());
    return root["children"][2]["children"][1]["runs"][0]["text"].get<std::string>();
  };
  EXPECT_EQ(pill({12345.678, 12000}), "↑2.88");
  EXPECT_EQ(pill({50, 50}), "0.00");
  EXPECT_EQ(pill({0, 0}), "0.00");  // no change at all is flat, not a not-a-number loss
  EXPECT_EQ(pill({10, 0}), "↑∞");
  EXPECT_EQ(pill({-10, 0}), "↓∞");
}

TEST_F(ThemedTest, MediumEmptyViewTree) {
  QuorvelWidgetsEntryMediumView view{{{}, std::nullopt}, kLink};
  json root = dumpView(view.body());
  EXPECT_EQ(root["branch"], "second");
  EXPECT_EQ(modifierTypes(root), (std::vector<std::string>{"flexFrame", "padding", "background",
                                                           "widgetURL", "containerBackground"}));
  const json& column = root["children"][0];
  EXPECT_EQ(column["spacing"], 8);
  EXPECT_EQ(column["children"][1]["runs"][0]["key"],
            "Localizable.keep_track_of_your_profits_loses_and_portfolio_valuation_start_building_"
            "your_portfolio_today");
  EXPECT_EQ(modifierTypes(column["children"][1]),
            (std::vector<std::string>{"multilineTextAlignment", "fixedSize"}));
  EXPECT_EQ(modifierTypes(column["children"][2]),
            (std::vector<std::string>{"flexFrame", "padding", "background", "clip"}));
}

TEST_F(ThemedTest, EntryDateHasNoEffect) {
  PortfolioWidget p{1, 2};
  auto a = dumpView(
      QuorvelWidgetsEntryMediumView{{std::chrono::system_clock::time_point{}, p}, kLink}.body());
  auto b =
      dumpView(QuorvelWidgetsEntryMediumView{{std::chrono::system_clock::now(), p}, kLink}.body());
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace quorvel
