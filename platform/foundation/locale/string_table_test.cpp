#include "platform/foundation/locale/string_table.h"

#include <gtest/gtest.h>

namespace platform::foundation {
using Table = std::map<std::string, std::string>;
using namespace std::string_literals;

TEST(ParseStringsTableTest, ReadsEntriesEscapesAndComments) {
  const std::pair<std::string_view, std::optional<Table>> rows[] = {
      {"/* two\n lines */\"a\" = \"A\";  // note\n\"b\"=\"B\";", Table{{"a", "A"}, {"b", "B"}}},
      {"\xEF\xBB\xBF \t\n\r\f\v\"k\" \t\n\r\f\v= \"v\" ;", Table{{"k", "v"}}},
      {"azAZ09_$+/:.- = w.1; \"alone\"; \"k\" = \"1\"; \"k\" = \"2\";",
       Table{{"azAZ09_$+/:.-", "w.1"}, {"alone", "alone"}, {"k", "2"}}},
      {R"("k" = "\"\\\'\n\t\r\a\b\f\v\q";)", Table{{"k", "\"\\'\n\t\r\a\b\f\vq"}}},
      {R"("k" = "\101\1010\0\u00e9\U00E9\u07FF\U08A0\uFFFF\UD800\UDC00";)",
       Table{{"k", "AA0"s + '\0' + "éé\u07FF\u08A0\uFFFF\U00010000"}}},
      {R"("k" = "\UD83D \UDC00 \UD83D\U0041 \UDBFF\UDFFF\UD83D\UDE00";)",
       Table{{"k", "� � �A \U0010FFFF\U0001F600"}}},
      {"\"g1\" = \"a\"; \"no semicolon\" = \"x\"\n\"lost\" = \"b\"; = \"no key\";\"g2\" = \"c\";",
       Table{{"g1", "a"}, {"g2", "c"}}},
      {"\"bad\" = \"\\Uzzzz\"; \"g3\" = \"d\"; \"cut\" = \"\\", Table{{"g3", "d"}}},
      {" /* only */ // comments\n/* open", Table{}},
      {"not a table; \"k\" = \"v\" \"w\"; =;=; \"k\" = \"unterminated", std::nullopt},
      {"\"k\" = ", std::nullopt}};
  for (const auto& [text, table] : rows) EXPECT_EQ(parseStringsTable(text), table) << text;
}

TEST(FormatLocalizedTest, FillsObjectSpecifiersOnly) {
  const std::tuple<std::string, std::vector<std::string>, std::string> rows[] = {
      {"$%@", {"12,345.68"}, "$12,345.68"},
      {"%@ and %@ %@", {"a", "b"}, "a and b %@"},
      {"%2$@ before %1$@", {"a", "b"}, "b before a"},
      {"%10$@ %9$@", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}, "10 9"},
      {"100%% %d %", {"a"}, "100% %d %"},
      {"%3$@ %0$@ %1$x %$@", {"a"}, "%3$@ %0$@ %1$x %$@"},
      {"%99999999999999999999$@", {"a"}, "%99999999999999999999$@"}};
  for (const auto& [format, args, text] : rows) EXPECT_EQ(formatLocalized(format, args), text);
}

TEST(LocalizedStringTest, LooksUpTheRegisteredTableOrFallsBackToTheKey) {
  registerMainBundleStringsTable({});
  EXPECT_EQ(localizedString("%@ left", {"1"}), "1 left");
  static constexpr std::string_view kOld = R"("k" = "old";)", kNew = R"("k" = "USD %@";)";
  registerMainBundleStringsTable(kOld);
  EXPECT_EQ(localizedString("k"), "old");
  registerMainBundleStringsTable(kNew);
  registerMainBundleStringsTable(kNew);
  EXPECT_EQ(localizedString("k", {"1"}), "USD 1");
  EXPECT_EQ(localizedString("missing %@", {"x"}), "missing x");
  registerMainBundleStringsTable("\"ok\" = \"yes\"; garbage \"\xFF");
  EXPECT_EQ(localizedString("ok"), "yes");
  registerMainBundleStringsTable({});
}

}  // namespace platform::foundation
