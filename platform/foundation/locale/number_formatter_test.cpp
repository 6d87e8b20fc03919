#include "platform/foundation/locale/number_formatter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace platform::foundation {
using Mode = NumberFormatter::RoundingMode;
using Style = NumberFormatter::Style;
const std::vector<double> kTies{2.345, -2.345, 2.355, 2.349, 2.341};

// Each row formats its values (texts joined by spaces, "-" for none) with
// a formatter of two-digit en_US decimals grouped by ",", changed as it says.
TEST(NumberFormatterTest, FormatsLikeThePlatformFormatter) {
  struct Row {
    std::vector<double> values;
    std::string expected;
    Mode mode = Mode::kHalfEven;
    std::optional<int> min = 2, max = 2;
    Style style = Style::kDecimal;
    std::string locale = "en_US";
    std::optional<std::string> grouping = ",";
  };
  const Row rows[] = {
      {{1234.5, 0, 1e9, 999.999, -0.004}, "1,234.50 0.00 1,000,000,000.00 1,000.00 -0.00"},
      // ICU rounds the shortest decimal that reads back as the double.
      {{0.015, 0.025, 2.675, -0.125, 5e-324}, "0.02 0.02 2.68 -0.12 0.00"},
      {{NAN, HUGE_VAL, -HUGE_VAL}, "NaN ∞ -∞"},
      {kTies, "2.34 -2.34 2.36 2.35 2.34"},
      {kTies, "2.34 -2.35 2.35 2.34 2.34", Mode::kFloor},
      {kTies, "2.35 -2.34 2.36 2.35 2.35", Mode::kCeiling},
      {{1234567.891}, "1'234'567.89", Mode::kHalfEven, 2, 2, Style::kDecimal, "en_US", "'"},
      {{1234.5}, "1.234,50", Mode::kHalfEven, 2, 2, Style::kDecimal, "de_DE", std::nullopt},
      {{1234.5, 1}, "1234.50 1.00", Mode::kHalfEven, 2, 2, Style::kDecimal, "zz_not_a_locale"},
      {{1.5, 0}, "1.5000 0.0000", Mode::kHalfEven, 4},  // the minimum raises the maximum
      {{1234.56789, 2}, "1,234.568 2", Mode::kHalfEven, {}, {}},
      {{1234.56789, 0.5}, "1235 0", Mode::kHalfEven, {}, {}, Style::kNone},
      {{1}, "1." + std::string(999, '0'), Mode::kHalfEven, 999, 999},
      {{1}, "-", Mode::kHalfEven, 2, 1000},
      {{1}, "-", Mode::kHalfEven, 2, -1},
      {{1}, "-", Mode::kHalfEven, -1},
      {{1}, "-", Mode::kHalfEven, 1000},
  };
  for (const Row& row : rows) {
    const NumberFormatter f{row.style, row.min, row.max, row.locale, row.grouping, row.mode};
    std::string texts;
    for (double value : row.values) {
      texts += (texts.empty() ? "" : " ") + f.string(value).value_or("-");
    }
    EXPECT_EQ(texts, row.expected);
  }
}

}  // namespace platform::foundation
