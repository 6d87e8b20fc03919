#include "platform/foundation/decimal.h"

#include <gtest/gtest.h>

namespace platform::foundation {
TEST(ParseDecimalTest, ReadsOnlyWholePlainFiniteDecimals) {
  const std::pair<std::string_view, double> numbers[] = {
      {"12", 12}, {"-0.5", -0.5}, {"1e-8", 1e-8}, {"65432.10", 65432.1}, {"1.7e308", 1.7e308}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(parseDecimal(text), value) << text;
  for (std::string_view text :
       {"", "-", " 1", "1 ", "+1", "1,5", "1.5x", "0x10", "inf", "-infinity", "nan", "1e400"})
    EXPECT_EQ(parseDecimal(text), std::nullopt) << text;
}

}  // namespace platform::foundation
