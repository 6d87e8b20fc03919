#include "resources/main_bundle.h"

#include <gtest/gtest.h>

#include "platform/foundation/locale/string_table.h"

namespace quorvel {
namespace {

using platform::foundation::localizedString;

TEST(MainBundleTest, EveryKeyOfTheWidgetsHasItsEnglishText) {
  EXPECT_EQ(platform::foundation::parseStringsTable(mainBundleStringsTable()).value().size(), 9u);
  registerMainBundleResources();
  registerMainBundleResources();  // again: harmless
  const std::pair<std::string, std::string> rows[] = {
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
      {"no.such.key", "no.such.key"},
  };
  for (const auto& [key, text] : rows) EXPECT_EQ(localizedString(key), text) << key;
  EXPECT_EQ(localizedString("$%@", {"12,345.68"}), "$12,345.68");
}

}  // namespace
}  // namespace quorvel
