#include "platform/intents/user_activity.h"

namespace platform::intents {
namespace {

// An optional string member: absent or null gives nothing; any other
// non-string value makes the whole record unreadable.
bool readOptionalString(const nlohmann::json& json, const char* key,
                        std::optional<std::string>& out) {
  auto found = json.find(key);
  if (found == json.end() || found->is_null()) return true;
  if (!found->is_string()) return false;
  out = found->get<std::string>();
  return true;
}

}  // namespace

nlohmann::json toJSON(const NSUserActivity& activity) {
  nlohmann::json json = {{"activityType", activity.activityType}, {"userInfo", activity.userInfo}};
  if (activity.title) json["title"] = *activity.title;
  if (activity.webpageURL) json["webpageURL"] = *activity.webpageURL;
  return json;
}

std::optional<NSUserActivity> userActivityFromJSON(const nlohmann::json& json) {
  if (!json.is_object()) return std::nullopt;
  auto type = json.find("activityType");
  if (type == json.end() || !type->is_string()) return std::nullopt;
  NSUserActivity activity;
  activity.activityType = type->get<std::string>();
  if (!readOptionalString(json, "title", activity.title) ||
      !readOptionalString(json, "webpageURL", activity.webpageURL)) {
    return std::nullopt;
  }
  auto info = json.find("userInfo");
  if (info != json.end() && !info->is_null()) {
    if (!info->is_object()) return std::nullopt;
    activity.userInfo = *info;
  }
  return activity;
}

void PrintTo(const NSUserActivity& activity, std::ostream* out) { *out << toJSON(activity).dump(); }

}  // namespace platform::intents
