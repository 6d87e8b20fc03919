// NSUserActivity: a record of what the user was doing, which the platform
// can hand to the host application (for example with an intent response).
// A plain value: copy freely; safe to read from any thread.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

namespace platform::intents {

struct NSUserActivity {
  std::string activityType;               // reverse-DNS kind, e.g. "com.example.view-portfolio"
  std::optional<std::string> title;       // what a person would read
  std::optional<std::string> webpageURL;  // where to continue outside the app
  nlohmann::json userInfo = nlohmann::json::object();  // app-defined details

  friend bool operator==(const NSUserActivity&, const NSUserActivity&) = default;
};

// The activity as a JSON object, as archives store it.
nlohmann::json toJSON(const NSUserActivity& activity);
// Reads toJSON's form back; nothing when `json` is not an object with a
// string "activityType" or a field has the wrong type.
std::optional<NSUserActivity> userActivityFromJSON(const nlohmann::json& json);

void PrintTo(const NSUserActivity& activity, std::ostream* out);

}  // namespace platform::intents
