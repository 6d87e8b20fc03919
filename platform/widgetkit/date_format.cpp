#include "platform/widgetkit/date_format.h"

#include <cstdio>

namespace platform::widgetkit {

namespace {

using namespace std::chrono;

// Reads `count` decimal digits at `text[at]`; -1 if any is not a digit.
int digits(std::string_view text, size_t at, size_t count) {
  int value = 0;
  for (size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string iso8601String(system_clock::time_point date) {
  const auto millis = floor<milliseconds>(date);
  const auto day = floor<days>(millis);
  const year_month_day ymd{day};
  const hh_mm_ss<milliseconds> time{millis - day};
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()));
  return text;
}

std::optional<system_clock::time_point> dateFromISO8601(std::string_view text) {
  // YYYY-MM-DDTHH:MM:SS.mmmZ
  if (text.size() != 24 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != '.' || text[23] != 'Z') {
    return std::nullopt;
  }
  const int y = digits(text, 0, 4), mo = digits(text, 5, 2), d = digits(text, 8, 2);
  const int h = digits(text, 11, 2), mi = digits(text, 14, 2), s = digits(text, 17, 2);
  const int ms = digits(text, 20, 3);
  if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || s < 0 || ms < 0) return std::nullopt;
  if (h > 23 || mi > 59 || s > 59) return std::nullopt;
  const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)},
                           day{static_cast<unsigned>(d)}};
  if (!ymd.ok()) return std::nullopt;
  return sys_days{ymd} + hours{h} + minutes{mi} + seconds{s} + milliseconds{ms};
}

}  // namespace platform::widgetkit
