#include "platform/foundation/text/unicode_text.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <array>

namespace platform::foundation {
using namespace std::string_literals;

// Root-locale rules, even with Turkish as ICU's default locale. Ill-formed
// UTF-8 reads as U+FFFD, one per maximal broken part.
TEST(UnicodeTextTest, MapsCaseFullyAndNormalisesWhateverTheLocale) {
  const icu::Locale saved = icu::Locale::getDefault();
  UErrorCode error = U_ZERO_ERROR;
  icu::Locale::setDefault(icu::Locale("tr", "TR"), error);
  const std::string a = "aZ@[`{ \t\0"s, x2 = "\uFFFD\uFFFD";
  // text, uppercased, lowercased, precomposed, decomposed, matchKey
  const std::array<std::string, 6> rows[] = {
      {"", "", "", "", "", ""},
      {a, "AZ@[`{ \t\0"s, "az@[`{ \t\0"s, a, a, "AZ@[`{ \t\0"s},
      {"straße ﬁ", "STRASSE FI", "straße ﬁ", "straße ﬁ", "straße ﬁ", "STRASSE FI"},
      {"iıİé", "IIİÉ", "iıi̇é", "iıİé", "iıI\u0307e\u0301", "IIİÉ"},
      {"cafe\u0301", "CAFE\xCC\x81", "cafe\u0301", "café", "cafe\u0301", "CAFÉ"},
      {"\xC0\xAF\u00E9\xC3", x2 + "É\uFFFD", x2 + "é\uFFFD", x2 + "é\uFFFD", x2 + "e\u0301\uFFFD",
       x2 + "É\uFFFD"},
  };
  for (const auto& [text, upper, lower, nfc, nfd, key] : rows) {
    EXPECT_EQ(std::tuple(uppercased(text), lowercased(text), precomposed(text), decomposed(text),
                         matchKey(text)),
              std::tuple(upper, lower, nfc, nfd, key))
        << text;
  }
  icu::Locale::setDefault(saved, error);
}

TEST(UnicodeTextTest, ComparesByCanonicalEquivalence) {
  for (const auto& [a, b] : {std::pair{"", ""}, {"café", "cafe\u0301"}, {"\xFF", "\xFE"}}) {
    EXPECT_TRUE(canonicallyEquivalent(a, b)) << a;  // ill-formed bytes both read as U+FFFD
  }
  for (const auto& [a, b] :
       {std::pair{"BTC", "btc"}, {"BTC", "BT"}, {"cafe", "café"}, {"a\xFF", "a\xFE\xFF"}}) {
    EXPECT_FALSE(canonicallyEquivalent(a, b)) << a;
  }
  EXPECT_TRUE(isASCII("") && isASCII("BTC\x7F") && !isASCII("\x80") && !isASCII("caf\u00E9"));
}

}  // namespace platform::foundation
