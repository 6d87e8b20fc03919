// The one reader of decimal numbers written by machines (exchange prices,
// stored amounts, command-line amounts): the same in every locale.
#pragma once

#include <optional>
#include <string_view>

namespace platform::foundation {

// A finite number written in full as plain decimal digits ("12", "-0.5",
// "1e-8"), or none: no leading blanks or "+", no hexadecimal, no "inf" or
// "nan", nothing after the number, nothing out of a double's range.
std::optional<double> parseDecimal(std::string_view text);

}  // namespace platform::foundation
