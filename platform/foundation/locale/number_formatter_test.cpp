#include "platform/foundation/locale/number_formatter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace platform::foundation {
namespace {

NumberFormatter twoDigitDollars() {
  NumberFormatter formatter;
  formatter.numberStyle = NumberFormatter::Style::kDecimal;
  formatter.minimumFractionDigits = 2;
  formatter.maximumFractionDigits = 2;
  formatter.locale = "en_US";
  formatter.groupingSeparator = ",";
  return formatter;
}

TEST(NumberFormatterTest, FormatsEnglishDecimalsWithTwoDigits) {
  struct Row {
    double value;
    std::string expected;
  };
  const Row rows[] = {
      {1234.5, "1,234.50"},
      {0, "0.00"},
      {1000000, "1,000,000.00"},
      {1e9, "1,000,000,000.00"},
      {12345.678, "12,345.68"},
      {999.999, "1,000.00"},
      {-1234.5, "-1,234.50"},
      {0.004, "0.00"},
      {0.5, "0.50"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(twoDigitDollars().string(row.value), row.expected) << row.value;
  }
}

TEST(NumberFormatterTest, RoundsHalfToEvenOnTheShortestDecimal) {
  // ICU rounds the shortest decimal that reads back as the double, so 0.015
  // (stored as 0.01499999...) still counts as a tie and goes to the even 2.
  struct Row {
    double value;
    std::string expected;
  };
  const Row rows[] = {
      {0.005, "0.00"}, {0.015, "0.02"}, {0.025, "0.02"},   {0.125, "0.12"},
      {0.375, "0.38"}, {2.675, "2.68"}, {-0.125, "-0.12"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(twoDigitDollars().string(row.value), row.expected) << row.value;
  }
}

TEST(NumberFormatterTest, NegativeZeroKeepsItsSign) {
  EXPECT_EQ(twoDigitDollars().string(-0.0), "-0.00");
}

TEST(NumberFormatterTest, NonFiniteValuesComeOutAsTheLocaleWritesThem) {
  EXPECT_EQ(twoDigitDollars().string(std::numeric_limits<double>::quiet_NaN()), "NaN");
  EXPECT_EQ(twoDigitDollars().string(std::numeric_limits<double>::infinity()), "\xE2\x88\x9E");
  EXPECT_EQ(twoDigitDollars().string(-std::numeric_limits<double>::infinity()), "-\xE2\x88\x9E");
}

TEST(NumberFormatterTest, ExtremeMagnitudesKeepEveryDigit) {
  auto text = twoDigitDollars().string(std::numeric_limits<double>::max());
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->substr(0, 6), "179,76");
  EXPECT_EQ(text->substr(text->size() - 3), ".00");
  EXPECT_EQ(twoDigitDollars().string(std::numeric_limits<double>::denorm_min()), "0.00");
}

TEST(NumberFormatterTest, UsesTheGivenGroupingSeparator) {
  NumberFormatter formatter = twoDigitDollars();
  formatter.groupingSeparator = "'";
  EXPECT_EQ(formatter.string(1234567.891), "1'234'567.89");
}

TEST(NumberFormatterTest, FollowsTheLocale) {
  NumberFormatter formatter = twoDigitDollars();
  formatter.locale = "de_DE";
  formatter.groupingSeparator.reset();
  EXPECT_EQ(formatter.string(1234.5), "1.234,50");
}

TEST(NumberFormatterTest, StyleDefaults) {
  NumberFormatter decimal;
  decimal.numberStyle = NumberFormatter::Style::kDecimal;
  EXPECT_EQ(decimal.string(1234.56789), "1,234.568");
  EXPECT_EQ(decimal.string(2), "2");
  NumberFormatter none;
  EXPECT_EQ(none.string(1234.56789), "1235");
}

TEST(NumberFormatterTest, MinimumAboveMaximumRaisesTheMaximum) {
  NumberFormatter formatter = twoDigitDollars();
  formatter.minimumFractionDigits = 4;
  EXPECT_EQ(formatter.string(1.5), "1.5000");
}

TEST(NumberFormatterTest, UnusableDigitCountsGiveNothing) {
  NumberFormatter formatter = twoDigitDollars();
  formatter.maximumFractionDigits = -1;
  EXPECT_EQ(formatter.string(1), std::nullopt);
  formatter.maximumFractionDigits = 1000;
  EXPECT_EQ(formatter.string(1), std::nullopt);
}

TEST(NumberFormatterTest, UnknownLocaleStillFormats) {
  NumberFormatter formatter = twoDigitDollars();
  formatter.locale = "zz_not_a_locale";
  EXPECT_TRUE(formatter.string(1234.5).has_value());
  formatter.locale = "";
  EXPECT_TRUE(formatter.string(1234.5).has_value());
}

}  // namespace
}  // namespace platform::foundation
