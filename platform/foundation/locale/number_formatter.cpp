#include "platform/foundation/locale/number_formatter.h"

#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace platform::foundation {
namespace {

UNumberFormatRoundingMode icuRoundingMode(NumberFormatter::RoundingMode mode) {
  switch (mode) {
    case NumberFormatter::RoundingMode::kHalfEven:
      return UNUM_ROUND_HALFEVEN;
    case NumberFormatter::RoundingMode::kHalfUp:
      return UNUM_ROUND_HALFUP;
    case NumberFormatter::RoundingMode::kHalfDown:
      return UNUM_ROUND_HALFDOWN;
    case NumberFormatter::RoundingMode::kDown:
      return UNUM_ROUND_DOWN;
    case NumberFormatter::RoundingMode::kUp:
      return UNUM_ROUND_UP;
    case NumberFormatter::RoundingMode::kFloor:
      return UNUM_ROUND_FLOOR;
    case NumberFormatter::RoundingMode::kCeiling:
      return UNUM_ROUND_CEILING;
  }
  return UNUM_ROUND_HALFEVEN;
}

// ICU accepts 0...999 fraction places; anything else is a caller error we
// report as "no text" rather than let the engine clamp silently.
constexpr int kMaxFractionPlaces = 999;

}  // namespace

std::optional<std::string> NumberFormatter::string(double value) const {
  const bool decimal = numberStyle == Style::kDecimal;
  int minDigits = minimumFractionDigits.value_or(0);
  int maxDigits = maximumFractionDigits.value_or(decimal ? 3 : 0);
  if (minDigits < 0 || maxDigits < 0 || minDigits > kMaxFractionPlaces ||
      maxDigits > kMaxFractionPlaces) {
    return std::nullopt;
  }
  maxDigits = std::max(maxDigits, minDigits);

  icu::Locale icuLocale = icu::Locale::createFromName(locale.c_str());
  if (icuLocale.isBogus()) icuLocale = icu::Locale::getRoot();

  UErrorCode status = U_ZERO_ERROR;
  icu::DecimalFormatSymbols symbols(icuLocale, status);
  if (U_FAILURE(status)) return std::nullopt;
  if (groupingSeparator) {
    symbols.setSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol,
                      icu::UnicodeString::fromUTF8(*groupingSeparator));
  }

  icu::number::LocalizedNumberFormatter formatter =
      icu::number::NumberFormatter::withLocale(icuLocale)
          .symbols(symbols)
          .precision(icu::number::Precision::minMaxFraction(minDigits, maxDigits))
          .roundingMode(icuRoundingMode(roundingMode))
          .grouping(decimal ? UNUM_GROUPING_AUTO : UNUM_GROUPING_OFF);

  icu::number::FormattedNumber formatted = formatter.formatDouble(value, status);
  if (U_FAILURE(status)) return std::nullopt;
  icu::UnicodeString text = formatted.toString(status);
  if (U_FAILURE(status)) return std::nullopt;
  std::string out;
  text.toUTF8String(out);
  return out;
}

}  // namespace platform::foundation
