#include "views/number_format.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "platform/foundation/decimal.h"
#include "platform/foundation/locale/number_formatter.h"

namespace quorvel {

namespace {

std::optional<std::string> formatted(double number, int maximumFractionDigits) {
  platform::foundation::NumberFormatter formatter;
  formatter.numberStyle = platform::foundation::NumberFormatter::Style::kDecimal;
  formatter.minimumFractionDigits = 2;
  formatter.maximumFractionDigits = maximumFractionDigits;
  formatter.locale = "en_US";
  formatter.groupingSeparator = ",";
  auto result = formatter.string(number);
  if (!result) return std::nullopt;
  if (!result->empty() && result->front() == '.') result->insert(result->begin(), '0');
  return result;
}

}  // namespace

std::string trimmedDecimalString(double value, int digits) {
  // fmt writes a "." whatever the process's locale.
  std::string text = fmt::format("{:.{}f}", value, std::max(digits, 0));
  if (text.find('.') == std::string::npos) return text;
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

std::optional<std::string> formattedNumberString(std::string_view text, int maximumFractionDigits) {
  const std::optional<double> number = platform::foundation::parseDecimal(text);
  if (!number) return std::nullopt;
  return formatted(*number, maximumFractionDigits);
}

std::optional<std::string> displayNumberString(double value) {
  // Decimal text has no infinities and no not-a-number: the formatter gets
  // them as they are ("∞", "NaN").
  if (!std::isfinite(value)) return formatted(value, 2);
  return formattedNumberString(trimmedDecimalString(value, 8), 2);
}

}  // namespace quorvel
