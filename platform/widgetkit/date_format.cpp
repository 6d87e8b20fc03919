#include "platform/widgetkit/date_format.h"

#include <cstdio>

namespace platform::widgetkit {

using namespace std::chrono;

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

}  // namespace platform::widgetkit
