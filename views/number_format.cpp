#include "views/number_format.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/foundation/locale/number_formatter.h"

namespace quorvel {

namespace {

locale_t cLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

std::string trimmedDecimalString(double value, int digits) {
  const int d = digits > 0 ? digits : 0;
  // snprintf follows LC_NUMERIC; the C locale keeps the point a ".".
  locale_t previous = uselocale(cLocale());
  int needed = std::snprintf(nullptr, 0, "%.*f", d, value);
  std::vector<char> buffer(static_cast<size_t>(needed > 0 ? needed : 0) + 1);
  std::snprintf(buffer.data(), buffer.size(), "%.*f", d, value);
  uselocale(previous);
  std::string text(buffer.data());
  while (!text.empty()) {
    if (text.back() == '.') {
      text.pop_back();
      break;
    }
    if (text.back() != '0') break;
    text.pop_back();
  }
  return text;
}

std::optional<std::string> formattedNumberString(std::string_view text, int maximumFractionDigits) {
  if (text.empty()) return std::nullopt;
  switch (text.front()) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
      return std::nullopt;
    default:
      break;
  }
  const std::string owned(text);
  char* end = nullptr;
  const double number = strtod_l(owned.c_str(), &end, cLocale());
  if (end != owned.c_str() + owned.size()) return std::nullopt;

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

std::optional<std::string> displayNumberString(double value) {
  return formattedNumberString(trimmedDecimalString(value, 8), 2);
}

}  // namespace quorvel
