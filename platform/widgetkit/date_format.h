// Dates as the host writes them: ISO-8601 in UTC with milliseconds,
// "2026-12-06T18:29:28.123Z". Plain functions, safe from any thread.
#pragma once

#include <chrono>
#include <string>

namespace platform::widgetkit {

// Sub-millisecond parts are dropped (rounded toward the past).
std::string iso8601String(std::chrono::system_clock::time_point date);

}  // namespace platform::widgetkit
