#include "platform/foundation/locale/string_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace platform::foundation {
namespace {

using Table = std::map<std::string, std::string>;

TEST(ParseStringsTableTest, ReadsQuotedPairsAndSkipsComments) {
  auto table = parseStringsTable(R"(
    /* A block comment
       over two lines */
    "greeting" = "Hello";  // a line comment
    "farewell"="Bye";
  )");
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(*table, (Table{{"greeting", "Hello"}, {"farewell", "Bye"}}));
}

TEST(ParseStringsTableTest, DecodesEscapes) {
  struct Row {
    std::string source;
    std::string expected;
  };
  const Row rows[] = {
      {R"("k" = "say \"hi\"";)", "say \"hi\""},
      {R"("k" = "a\\b";)", "a\\b"},
      {R"("k" = "line\nnext\ttab";)", "line\nnext\ttab"},
      {R"("k" = "\U2191 up";)", "\xE2\x86\x91 up"},
      {R"("k" = "\u00e9";)", "\xC3\xA9"},
      {R"("k" = "\UD83D\UDE00";)", "\xF0\x9F\x98\x80"},    // surrogate pair joined
      {R"("k" = "\UD83D alone";)", "\xEF\xBF\xBD alone"},  // lone surrogate replaced
      {R"("k" = "\101";)", "A"},
  };
  for (const Row& row : rows) {
    auto table = parseStringsTable(row.source);
    ASSERT_TRUE(table.has_value()) << row.source;
    EXPECT_EQ(table->at("k"), row.expected) << row.source;
  }
}

TEST(ParseStringsTableTest, AcceptsBareWordsAndKeyOnlyEntries) {
  auto table = parseStringsTable("plain = word.1;\n\"alone\";");
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(*table, (Table{{"plain", "word.1"}, {"alone", "alone"}}));
}

TEST(ParseStringsTableTest, LaterDuplicateWins) {
  auto table = parseStringsTable(R"("k" = "one"; "k" = "two";)");
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(table->at("k"), "two");
}

TEST(ParseStringsTableTest, SkipsALeadingByteOrderMark) {
  auto table = parseStringsTable("\xEF\xBB\xBF\"k\" = \"v\";");
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(table->at("k"), "v");
}

TEST(ParseStringsTableTest, BlankOrCommentOnlyTextIsAnEmptyTable) {
  for (std::string_view text : {"", "  \n\t", "/* nothing */ // here"}) {
    auto table = parseStringsTable(text);
    ASSERT_TRUE(table.has_value()) << text;
    EXPECT_TRUE(table->empty()) << text;
  }
}

TEST(ParseStringsTableTest, SkipsBrokenEntriesAndKeepsTheRest) {
  auto table = parseStringsTable(R"(
    "good1" = "a";
    "missing semicolon" = "x"
    "lost" = "b";
    = "no key";
    "good2" = "c";
    "bad escape" = "\Uzz";
    "good3" = "d";
  )");
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(*table, (Table{{"good1", "a"}, {"good2", "c"}, {"good3", "d"}}));
}

TEST(ParseStringsTableTest, TextWithoutAnyEntryIsRejected) {
  for (std::string_view text :
       {"not a table at all", "\"k\" = ", "\"unterminated", "=;=;=;", "/* open"}) {
    if (text == "/* open") {
      // An unterminated comment is still only a comment.
      EXPECT_TRUE(parseStringsTable(text).has_value()) << text;
      continue;
    }
    EXPECT_FALSE(parseStringsTable(text).has_value()) << text;
  }
}

TEST(ParseStringsTableTest, SurvivesArbitraryBytes) {
  // Every prefix of a table with every kind of construct, and some noise:
  // none of them may crash or hang.
  const std::string source =
      "/* c */ \"a\\\"b\" = \"\\UD83D\\UDE00\\101\\n\"; // x\n bare = w; \"k\"; "
      "\xEF\xBB\xBF\xFF\x00\"";
  for (size_t length = 0; length <= source.size(); ++length) {
    (void)parseStringsTable(std::string_view(source).substr(0, length));
  }
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 131 + 7) % 256);
  (void)parseStringsTable(noise);
}

TEST(FormatLocalizedTest, InterpolatesArguments) {
  struct Row {
    std::string format;
    std::vector<std::string> arguments;
    std::string expected;
  };
  const Row rows[] = {
      {"$%@", {"12,345.68"}, "$12,345.68"},
      {"%@ and %@", {"a", "b"}, "a and b"},
      {"%2$@ before %1$@", {"a", "b"}, "b before a"},
      {"100%%", {}, "100%"},
      {"%", {}, "%"},
      {"%@", {}, "%@"},                 // nothing to fill in
      {"%3$@", {"a"}, "%3$@"},          // position past the arguments
      {"%0$@", {"a"}, "%0$@"},          // positions count from 1
      {"%d items", {"a"}, "%d items"},  // only object specifiers are filled
      {"ends with %", {"a"}, "ends with %"},
      {"%99999999999999999999$@", {"a"}, "%99999999999999999999$@"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(formatLocalized(row.format, row.arguments), row.expected) << row.format;
  }
}

class LocalizedStringTest : public ::testing::Test {
 protected:
  void TearDown() override { registerMainBundleStringsTable({}); }
};

TEST_F(LocalizedStringTest, LooksUpTheRegisteredTable) {
  registerMainBundleStringsTable(R"("title" = "Portfolio"; "price" = "USD %@";)");
  EXPECT_EQ(localizedString("title"), "Portfolio");
  EXPECT_EQ(localizedString("price", {"1.00"}), "USD 1.00");
}

TEST_F(LocalizedStringTest, MissingKeyFallsBackToTheKeyInterpolated) {
  registerMainBundleStringsTable(R"("title" = "Portfolio";)");
  EXPECT_EQ(localizedString("Localizable.unknown"), "Localizable.unknown");
  EXPECT_EQ(localizedString("$%@", {"12,345.68"}), "$12,345.68");
}

TEST_F(LocalizedStringTest, WithoutATableEveryKeyIsItsOwnText) {
  registerMainBundleStringsTable({});
  EXPECT_EQ(localizedString("%"), "%");
}

TEST_F(LocalizedStringTest, ANewRegistrationReplacesTheOld) {
  registerMainBundleStringsTable(R"("k" = "old";)");
  EXPECT_EQ(localizedString("k"), "old");
  registerMainBundleStringsTable(R"("k" = "new";)");
  EXPECT_EQ(localizedString("k"), "new");
}

TEST_F(LocalizedStringTest, AMalformedTableStillServesWhatParsed) {
  registerMainBundleStringsTable("\"ok\" = \"yes\"; garbage \"\xFF");
  EXPECT_EQ(localizedString("ok"), "yes");
}

TEST_F(LocalizedStringTest, ConcurrentFirstLookupsAgree) {
  registerMainBundleStringsTable(R"("k" = "v";)");
  std::atomic<int> matches{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      for (int j = 0; j < 100; ++j) {
        if (localizedString("k") == "v") ++matches;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(matches.load(), 800);
}

}  // namespace
}  // namespace platform::foundation
