// NumberFormatter: turns a 64-bit float into display text the way the
// platform's number formatter does, on ICU's number engine.
// Configure by setting the public fields, then call string(). A configured
// formatter is a plain value: copy freely; string() is const and safe from
// many threads at once. No locale data is touched until string() runs.
#pragma once

#include <optional>
#include <string>

namespace platform::foundation {

class NumberFormatter {
 public:
  enum class Style {
    kNone,     // digits only, no grouping
    kDecimal,  // the locale's decimal pattern, with grouping
  };
  enum class RoundingMode { kHalfEven, kHalfUp, kHalfDown, kDown, kUp, kFloor, kCeiling };

  Style numberStyle = Style::kNone;
  // Unset means the style's own default: 0 for both under kNone; 0 and 3
  // under kDecimal. A minimum above the maximum raises the maximum.
  std::optional<int> minimumFractionDigits;
  std::optional<int> maximumFractionDigits;
  // An ICU/POSIX-style identifier such as "en_US"; empty or unknown falls back
  // to ICU's root conventions.
  std::string locale = "en_US";
  // Replaces the locale's grouping separator when set (UTF-8).
  std::optional<std::string> groupingSeparator;
  RoundingMode roundingMode = RoundingMode::kHalfEven;

  // The formatted text, or nothing when the engine reports an error (for
  // example fraction digits outside 0...999). Not-a-number and infinities
  // come out as the locale renders them ("NaN", "∞", "-∞" for en_US).
  std::optional<std::string> string(double value) const;
};

}  // namespace platform::foundation
