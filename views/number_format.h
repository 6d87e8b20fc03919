// The one number pipeline of the widget views: fixed-point text with eight
// decimals and trailing zeros removed, then en_US decimal formatting with
// exactly two fraction digits (round half to even). Pure functions; each
// call makes its own formatter. Safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The value in fixed point with `digits` decimals (below 0 count as 0), then
// trailing "0"s after the point and a trailing "." removed: 1.5 -> "1.5",
// 2 -> "2", 0.000000004 -> "0"; "inf", "-inf", "nan" as they are.
std::string trimmedDecimalString(double value, int digits);

// The text read as a decimal number (parseDecimal: the whole text, plain
// digits, finite) and formatted in en_US with at least two and at most
// `maximumFractionDigits` fraction digits; none when it does not read.
std::optional<std::string> formattedNumberString(std::string_view text, int maximumFractionDigits);

// formattedNumberString(trimmedDecimalString(value, 8), 2); the infinities
// and not-a-number formatted directly ("∞", "-∞", "NaN").
std::optional<std::string> displayNumberString(double value);

}  // namespace quorvel
