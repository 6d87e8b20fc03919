#include "platform/foundation/text/unicode_text.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <string>

namespace platform::foundation {
namespace {

TEST(UnicodeTextTest, AsciiCaseMappingTouchesOnlyLetters) {
  EXPECT_EQ(uppercased("btcUsdt-1_x.~ \t"), "BTCUSDT-1_X.~ \t");
  EXPECT_EQ(lowercased("ETHUSDT@[]`{}"), "ethusdt@[]`{}");
  EXPECT_EQ(uppercased(""), "");
  EXPECT_EQ(uppercased(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(UnicodeTextTest, IsAsciiLooksAtEveryByte) {
  EXPECT_TRUE(isASCII("BTCUSDT"));
  EXPECT_TRUE(isASCII(""));
  EXPECT_FALSE(isASCII("caf\xC3\xA9"));
  EXPECT_FALSE(isASCII("\xFF"));
}

TEST(UnicodeTextTest, UpperCasingIsFullCaseMapping) {
  EXPECT_EQ(uppercased("stra\xC3\x9F"
                       "e"),
            "STRASSE");                                             // ß -> SS
  EXPECT_EQ(uppercased("\xEF\xAC\x81"), "FI");                      // ﬁ ligature
  EXPECT_EQ(uppercased("\xC3\xA9t\xC3\xA9"), "\xC3\x89T\xC3\x89");  // été -> ÉTÉ
  EXPECT_EQ(lowercased("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9");
}

TEST(UnicodeTextTest, TurkishIsMappedByRootRulesWhateverTheDefaultLocale) {
  const icu::Locale saved = icu::Locale::getDefault();
  UErrorCode error = U_ZERO_ERROR;
  icu::Locale::setDefault(icu::Locale("tr", "TR"), error);
  ASSERT_TRUE(U_SUCCESS(error));

  EXPECT_EQ(uppercased("i\xC4\xB1"), "II");         // i and dotless ı
  EXPECT_EQ(uppercased("i\xC3\xA9"), "I\xC3\x89");  // not İ, even beside non-ASCII
  EXPECT_EQ(lowercased("I\xC3\x89"), "i\xC3\xA9");  // not ı
  EXPECT_EQ(lowercased("\xC4\xB0"), "i\xCC\x87");   // İ -> i + combining dot
  EXPECT_EQ(matchKey("\xC4\xB1"
                     "\xC3\xA9"),
            matchKey("I\xC3\x89"));

  icu::Locale::setDefault(saved, error);
}

TEST(UnicodeTextTest, CombiningAndPrecomposedAccentsAreEquivalent) {
  const std::string precomposedE = "caf\xC3\xA9";  // é, U+00E9
  const std::string combiningE = "cafe\xCC\x81";   // e + U+0301
  EXPECT_TRUE(canonicallyEquivalent(precomposedE, combiningE));
  EXPECT_EQ(precomposed(combiningE), precomposedE);
  EXPECT_EQ(decomposed(precomposedE), combiningE);
  EXPECT_EQ(matchKey(combiningE), matchKey("CAF\xC3\x89"));
}

TEST(UnicodeTextTest, DifferentTextsAreNotEquivalent) {
  EXPECT_FALSE(canonicallyEquivalent("BTCUSDT", "btcusdt"));
  EXPECT_FALSE(canonicallyEquivalent("BTCUSDT", "BTCUSD"));
  EXPECT_FALSE(canonicallyEquivalent("cafe", "caf\xC3\xA9"));
  EXPECT_TRUE(canonicallyEquivalent("", ""));
}

TEST(UnicodeTextTest, MatchKeyComparesWholeUpperCasedTexts) {
  EXPECT_EQ(matchKey("ethusdt"), "ETHUSDT");
  EXPECT_EQ(matchKey("usdtUSDT"), matchKey("USDTusdt"));
  EXPECT_NE(matchKey("BTCUSDT"), matchKey("BTCUSD"));
  EXPECT_EQ(matchKey("\xC3\x9F"), "SS");
}

TEST(UnicodeTextTest, IllFormedUtf8IsReplacedNotCrashedOn) {
  const std::string broken[] = {
      "\xFF",
      "abc\xC3",
      "\xC3(",
      "\xE2\x82",
      "\xED\xA0\x80",  // a UTF-16 surrogate encoded in UTF-8
      "\xC0\xAF",      // overlong "/"
      "\xF4\x90\x80\x80",
      "\x80\x80\x80",
      "caf\xC3\xA9\xFF",
  };
  for (const std::string& text : broken) {
    const std::string upper = uppercased(text);
    const std::string lower = lowercased(text);
    EXPECT_NE(upper.find("\xEF\xBF\xBD"), std::string::npos) << text;
    EXPECT_NE(lower.find("\xEF\xBF\xBD"), std::string::npos) << text;
    EXPECT_TRUE(canonicallyEquivalent(text, text)) << text;
    EXPECT_EQ(matchKey(text), matchKey(text)) << text;
    (void)precomposed(text);
    (void)decomposed(text);
  }
  EXPECT_EQ(uppercased("abc\xC3"), "ABC\xEF\xBF\xBD");
  EXPECT_FALSE(canonicallyEquivalent("a\xFF", "a\xFE\xFF"));
}

}  // namespace
}  // namespace platform::foundation
