#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>

#include "platform/foundation/bundle.h"
#include "platform/ui/view_dump.h"
#include "tests/support/test_support.h"
#include "views/entry_views.h"
#include "views/number_format.h"
#include "views/theme_colors.h"

namespace quorvel {
namespace {

using platform::ui::Color;
using platform::ui::dumpView;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(NumberFormatTest, TrimsFixedPointText) {
  const std::tuple<double, int, const char*> rows[] = {
      // value, fraction digits -> text
      {1.5, 8, "1.5"},     {2, 8, "2"},         {0, 8, "0"},      {0.000000004, 8, "0"},
      {100.5, 8, "100.5"}, {-2.25, 8, "-2.25"}, {2.5, -3, "2"},   {1234.56789, 8, "1234.56789"},
      {3.5, 0, "4"},       {10, 0, "10"},       {1.25, 1, "1.2"}, {kInf, 8, "inf"},
      {kNaN, 8, "nan"}};
  for (const auto& [value, digits, expected] : rows) {
    EXPECT_EQ(trimmedDecimalString(value, digits), expected) << value;
  }
}

TEST(NumberFormatTest, FormatsDecimalTextForTheUnitedStates) {
  const std::tuple<const char*, int, std::optional<std::string>> rows[] = {
      {"1234.5", 2, "1,234.50"}, {"0", 2, "0.00"},         {"1000000", 2, "1,000,000.00"},
      {"0.004", 2, "0.00"},      {"1.23456", 4, "1.2346"}, {"-0.5", 2, "-0.50"},
      {"", 2, std::nullopt},     {" 1", 2, std::nullopt},  {"1,5", 2, std::nullopt},
      {"abc", 2, std::nullopt},  {"1x", 2, std::nullopt},  {"inf", 2, std::nullopt}};
  for (const auto& [text, digits, expected] : rows) {
    EXPECT_EQ(formattedNumberString(text, digits), expected) << text;
  }
}

TEST(NumberFormatTest, DisplaysTwoDecimalsRoundingHalfToEven) {
  const std::pair<double, const char*> rows[] = {
      {12345.678, "12,345.68"},  {345.678, "345.68"}, {2.88065, "2.88"}, {33.3333333, "33.33"},
      {1e9, "1,000,000,000.00"}, {0.125, "0.12"},     {0.375, "0.38"},   {2.5, "2.50"},
      {0.005, "0.00"},           {0.015, "0.02"},     {-0.0, "-0.00"},   {-1.5, "-1.50"},
      {0.125000004, "0.12"},     {kInf, "∞"},         {-kInf, "-∞"},     {kNaN, "NaN"}};
  for (auto [value, expected] : rows) EXPECT_EQ(displayNumberString(value), expected) << value;
}

class ThemedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::foundation::setMainBundleIdentifier("com.tavrin.quorvel.widgets");
  }
  void setTheme(const char* theme) {
    ASSERT_OK(platform::foundation::UserDefaults::standardFor("com.tavrin.quorvel.widgets")
                  .set(kCurrentThemeKey, theme));
  }
  quorvel::testing::ScopedHome home_;
};

// The members of each pair are kept in the dumps below.
TEST_F(ThemedTest, ThemePicksTheLightOrDarkMemberOrADynamicPairAndIsReadEveryTime) {
  for (Color (*colour)() :
       {ThemeColors::primaryTextColor, ThemeColors::secondaryTextColor, ThemeColors::mutedFillColor,
        ThemeColors::mutedTextColor, ThemeColors::backgroundColor}) {
    const Color pair = colour();  // unset, then "system"
    EXPECT_TRUE(pair.isDynamic());
    for (const std::string theme : {"light", "dark", "Dark", "system"}) {
      setTheme(theme.c_str());
      EXPECT_EQ(colour(), theme == "light"  ? Color(pair.light())
                          : theme == "dark" ? Color(pair.dark())
                                            : pair)
          << theme;
    }
  }
}

// Whole dumps against views/testdata; QUORVEL_UPDATE_DUMPS=1 rewrites them
// after a change meant to alter them (then review the difference).
TEST_F(ThemedTest, WidgetViewsDumpAsKeptInEveryState) {
  const std::pair<std::string, std::optional<PortfolioWidget>> states[] = {
      {"empty", std::nullopt},
      {"gain", PortfolioWidget{12345.678, 12000}},
      {"loss", PortfolioWidget{100, 150}},
      {"flat", PortfolioWidget{50, 50}},
      {"zeros", PortfolioWidget{0, 0}},
      {"from-zero", PortfolioWidget{10, 0}},
      // Either zero is flat; not-a-number reads as a loss.
      {"negative-zero", PortfolioWidget{-0.0, 0}},
      {"nan", PortfolioWidget{kNaN, 0}}};
  const char* link = "quorvel-widget-portfolio://";
  for (const auto& state : states) {
    const QuorvelSimpleEntry entry{std::chrono::system_clock::now(), state.second};
    const std::pair<std::string, platform::ui::View> widgets[] = {
        {"small", QuorvelWidgetsEntrySmallView{entry, link}.body()},
        {"medium", QuorvelWidgetsEntryMediumView{entry, link}.body()}};
    for (const auto& [family, view] : widgets) {
      const auto path =
          std::filesystem::path(QUORVEL_VIEWS_TESTDATA) / (family + "-" + state.first + ".json");
      const std::string dump = dumpView(view).dump(1) + "\n";
      if (const char* update = std::getenv("QUORVEL_UPDATE_DUMPS"); update && *update == '1') {
        std::ofstream(path) << dump;
      }
      EXPECT_EQ(dump, quorvel::testing::readFileBytes(path)) << path;
    }
  }
}

}  // namespace
}  // namespace quorvel
