#include "platform/foundation/debug_print.h"

#include <gtest/gtest.h>

#include "platform/foundation/file_access.h"
#include "tests/support/test_support.h"

namespace platform::foundation {
TEST(DebugPrintTest, QuotesTextAsAStringLiteral) {
  const std::pair<std::string, std::string> rows[] = {
      {"", R"("")"},
      {" ~Préférence ↑ ₿", "\" ~Préférence ↑ ₿\""},
      {R"(say "hi", it's C:\)", R"("say \"hi\", it\'s C:\\")"},
      {std::string("a\0b\t\n\r", 6), R"("a\0b\t\n\r")"},
      {"\x01\x1b\x1f\x7f", R"("\u{1}\u{1B}\u{1F}\u{7F}")"},
      {"x\xc2\x80\xc2\x85\xc2\x9fy", R"("x\u{80}\u{85}\u{9F}y")"},  // C1 controls
      {"\xc2\xa0\xc2\x7f|\xc2", "\"\xc2\xa0\xc2\\u{7F}|\xc2\""}};   // not C1
  for (const auto& [text, quoted] : rows) EXPECT_EQ(quotedForm(text), quoted) << text;
}

TEST(DebugPrintTest, EscapedFormEscapesOnlyWhatCannotBeShown) {
  const std::pair<std::string, std::string> rows[] = {
      {R"(say "hi", it's C:\ or \\server)", R"(say "hi", it's C:\ or \\server)"},
      {"a\tb\n\x1b", R"(a\tb\n\u{1B})"}};
  for (const auto& [text, escaped] : rows) EXPECT_EQ(escapedForm(text), escaped) << text;
}

TEST(DebugPrintTest, WritesEachQuotedTextAsOneLineToStandardOutput) {
  quorvel::testing::CapturedStdout out;
  debugPrint(std::string(100000, 'x'));
  debugPrint("a\"b");
  EXPECT_TRUE(out.finish() == "\"" + std::string(100000, 'x') + "\"\n\"a\\\"b\"\n");
}

}  // namespace platform::foundation
