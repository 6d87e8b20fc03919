// Dates as the host writes them: ISO-8601 in UTC with milliseconds,
// "2026-12-06T18:29:28.123Z". Plain functions, safe from any thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace platform::widgetkit {

// Sub-millisecond parts are dropped (rounded toward the past).
std::string iso8601String(std::chrono::system_clock::time_point date);

// Reads exactly the form iso8601String writes; none for anything else.
std::optional<std::chrono::system_clock::time_point> dateFromISO8601(std::string_view text);

}  // namespace platform::widgetkit
