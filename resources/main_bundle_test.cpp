#include "resources/main_bundle.h"

#include <gtest/gtest.h>

#include "platform/foundation/locale/string_table.h"

namespace quorvel {
namespace {

using platform::foundation::localizedString;
using platform::foundation::parseStringsTable;

TEST(MainBundleTest, StringTableParsesCompletely) {
  auto table = parseStringsTable(mainBundleStringsTable());
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(table->size(), 9u);
}

TEST(MainBundleTest, EveryWidgetTextHasAnEnglishEntry) {
  registerMainBundleResources();
  struct Row {
    std::string key;
    std::string text;
  };
  const Row rows[] = {
      {"Localizable.widget_title", "Portfolio"},
      {"Localizable.widget_description",
       "Keep an eye on your portfolio's value and its 24-hour change."},
      {"Localizable.current_balance", "Current Balance"},
      {"localizable_add_portfolio", "Add portfolio"},
      {"Localizable.your_portfolio_empty", "Your portfolio is empty"},
      {"Localizable.keep_track_of_your_profits_loses_and_portfolio_valuation_start_building_your_"
       "portfolio_today",
       "Keep track of your profits, losses and portfolio valuation. Start building your portfolio "
       "today."},
      {"Localizable.add_new_asset", "Add New Asset"},
      {"%", "%"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(localizedString(row.key), row.text) << row.key;
  }
  EXPECT_EQ(localizedString("$%@", {"12,345.68"}), "$12,345.68");
}

TEST(MainBundleTest, RegisteringTwiceIsHarmless) {
  registerMainBundleResources();
  registerMainBundleResources();
  EXPECT_EQ(localizedString("Localizable.current_balance"), "Current Balance");
}

}  // namespace
}  // namespace quorvel
