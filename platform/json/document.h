// Parsing JSON text the way the platform's readers accept it: a UTF-8
// byte-order mark before the text is skipped, and integers beyond 64 bits
// (which simdjson refuses) are read as doubles, as the platform's own JSON
// reader reads them.
#pragma once

#include <simdjson.h>

#include <optional>
#include <string>
#include <string_view>

namespace platform::json {

// `text` without a leading UTF-8 byte-order mark.
std::string_view withoutByteOrderMark(std::string_view text);

// `text` with an exponent ("e0") after every integer that does not fit 64
// bits, so that it reads as a double; none when there is no such integer.
std::optional<std::string> widenedIntegers(std::string_view text);

// Parses `text` (byte-order mark skipped) into `root`, reading integers
// beyond 64 bits as doubles.
simdjson::error_code parse(simdjson::dom::parser& parser, std::string_view text,
                           simdjson::dom::element& root);

}  // namespace platform::json
