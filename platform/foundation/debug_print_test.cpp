#include "platform/foundation/debug_print.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace platform::foundation {
namespace {

TEST(DebugPrintTest, QuotesPlainText) {
  EXPECT_EQ(quotedForm("https://api.binance.com/api/v3/ticker/24hr"),
            "\"https://api.binance.com/api/v3/ticker/24hr\"");
  EXPECT_EQ(quotedForm(""), "\"\"");
}

TEST(DebugPrintTest, EscapesQuotesAndBackslashes) {
  EXPECT_EQ(quotedForm(R"(say "hi")"), R"("say \"hi\"")");
  EXPECT_EQ(quotedForm("it's"), R"("it\'s")");
  EXPECT_EQ(quotedForm(R"(C:\path)"), R"("C:\\path")");
}

TEST(DebugPrintTest, EscapesControlCharacters) {
  EXPECT_EQ(quotedForm(std::string("a\0b", 3)), R"("a\0b")");
  EXPECT_EQ(quotedForm("\t\n\r"), R"("\t\n\r")");
  EXPECT_EQ(quotedForm("\x01\x1b\x7f"), R"("\u{1}\u{1B}\u{7F}")");
  EXPECT_EQ(quotedForm("x\xc2\x85y"), R"("x\u{85}y")");  // U+0085 NEXT LINE
}

TEST(DebugPrintTest, KeepsNonAsciiText) {
  EXPECT_EQ(quotedForm("Préférence ↑ ₿"), "\"Préférence ↑ ₿\"");
}

TEST(DebugPrintTest, WritesOneQuotedLineToStandardOutput) {
  quorvel::testing::CapturedStdout out;
  debugPrint("Unable to Decode Configs (\"x\")");
  EXPECT_EQ(out.finish(), "\"Unable to Decode Configs (\\\"x\\\")\"\n");
}

TEST(DebugPrintTest, LinesFromManyThreadsNeverInterleave) {
  quorvel::testing::CapturedStdout out;
  const std::string message(3000, 'x');
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) debugPrint(message);
    });
  }
  for (auto& t : threads) t.join();
  std::string text = out.finish();
  const std::string line = "\"" + message + "\"\n";
  ASSERT_EQ(text.size(), line.size() * 400);
  for (size_t pos = 0; pos < text.size(); pos += line.size()) {
    ASSERT_EQ(text.compare(pos, line.size(), line), 0) << "at byte " << pos;
  }
}

}  // namespace
}  // namespace platform::foundation
