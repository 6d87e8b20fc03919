#include "platform/json/document.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace platform::json {
namespace {

bool isNumberByte(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// True for an integer literal that neither int64 nor uint64 can hold.
bool beyond64Bits(std::string_view token) {
  if (token.find_first_of(".eE") != std::string_view::npos) return false;
  const char* end = token.data() + token.size();
  if (token.front() == '-') {
    std::int64_t value = 0;
    return std::from_chars(token.data(), end, value).ec == std::errc::result_out_of_range;
  }
  std::uint64_t value = 0;
  return std::from_chars(token.data(), end, value).ec == std::errc::result_out_of_range;
}

}  // namespace

std::string_view withoutByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

std::optional<std::string> widenedIntegers(std::string_view text) {
  std::string out;
  bool widened = false;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    size_t end = i + 1;
    if (c == '"') {
      while (end < text.size() && text[end] != '"') end += text[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, text.size());
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      while (end < text.size() && isNumberByte(text[end])) ++end;
    }
    const std::string_view token = text.substr(i, end - i);
    out += token;
    if (beyond64Bits(token)) {  // false for any other token
      out += "e0";
      widened = true;
    }
    i = end;
  }
  if (!widened) return std::nullopt;
  return out;
}

simdjson::error_code parse(simdjson::dom::parser& parser, std::string_view text,
                           simdjson::dom::element& root) {
  text = withoutByteOrderMark(text);
  simdjson::error_code error = parser.parse(simdjson::padded_string(text)).get(root);
  if (error != simdjson::NUMBER_ERROR) return error;
  const auto widened = widenedIntegers(text);
  if (!widened) return error;
  return parser.parse(simdjson::padded_string(*widened)).get(root);
}

}  // namespace platform::json
