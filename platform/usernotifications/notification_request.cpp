#include "platform/usernotifications/notification_request.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>

#include "platform/foundation/uuid.h"

namespace platform::usernotifications {
namespace {

using foundation::Result;
using foundation::Status;
using Fields = UNNotificationContent::Fields;

Status wrongType(const std::string& member, const char* expected, const nlohmann::json& value) {
  return Status::InvalidArgument(member + " must be " + expected + ", not " +
                                 std::string(value.type_name()));
}

// Reads an optional string member of `object` into `out`.
Status readString(const nlohmann::json& object, const char* key, const std::string& path,
                  std::string& out) {
  auto found = object.find(key);
  if (found == object.end() || found->is_null()) return Status::okStatus();
  if (!found->is_string()) return wrongType(path + "." + key, "a string", *found);
  out = found->get<std::string>();
  return Status::okStatus();
}

Status readAlert(const nlohmann::json& alert, Fields& fields) {
  if (alert.is_null()) return Status::okStatus();
  if (alert.is_string()) {
    fields.body = alert.get<std::string>();
    return Status::okStatus();
  }
  if (!alert.is_object()) return wrongType("aps.alert", "a string or an object", alert);
  for (auto [key, field] :
       {std::pair{"title", &Fields::title}, std::pair{"subtitle", &Fields::subtitle},
        std::pair{"body", &Fields::body}}) {
    Status status = readString(alert, key, "aps.alert", fields.*field);
    if (!status.ok()) return status;
  }
  return Status::okStatus();
}

Status readBadge(const nlohmann::json& badge, Fields& fields) {
  if (badge.is_null()) return Status::okStatus();
  if (badge.is_number_integer()) {
    if (badge.is_number_unsigned() &&
        badge.get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max()) {
      return Status::InvalidArgument("aps.badge is too large");
    }
    fields.badge = badge.get<std::int64_t>();
    return Status::okStatus();
  }
  // 3.0 is a whole number too; 2.5 or 1e300 are not badges.
  if (badge.is_number_float()) {
    double value = badge.get<double>();
    if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < 9.0e15) {
      fields.badge = static_cast<std::int64_t>(value);
      return Status::okStatus();
    }
  }
  return wrongType("aps.badge", "a whole number", badge);
}

Status readSound(const nlohmann::json& sound, Fields& fields) {
  if (sound.is_null()) return Status::okStatus();
  if (sound.is_string()) {
    fields.sound = sound.get<std::string>();
    return Status::okStatus();
  }
  if (sound.is_object()) {
    auto name = sound.find("name");
    if (name != sound.end() && name->is_string()) {
      fields.sound = name->get<std::string>();
      return Status::okStatus();
    }
    return Status::InvalidArgument("aps.sound needs a string \"name\"");
  }
  return wrongType("aps.sound", "a string or an object", sound);
}

}  // namespace

Result<Fields> contentFieldsFromPayload(const nlohmann::json& payload) {
  if (!payload.is_object()) {
    return wrongType("the payload", "a JSON object", payload);
  }
  Fields fields;
  fields.userInfo = payload;
  auto aps = payload.find("aps");
  if (aps == payload.end() || aps->is_null()) return fields;
  if (!aps->is_object()) return wrongType("aps", "an object", *aps);

  const nlohmann::json null;
  auto member = [&](const char* key) -> const nlohmann::json& {
    auto found = aps->find(key);
    return found == aps->end() ? null : *found;
  };
  for (Status status : {readAlert(member("alert"), fields), readBadge(member("badge"), fields),
                        readSound(member("sound"), fields),
                        readString(*aps, "category", "aps", fields.categoryIdentifier),
                        readString(*aps, "thread-id", "aps", fields.threadIdentifier)}) {
    if (!status.ok()) return status;
  }
  return fields;
}

Result<std::shared_ptr<UNNotificationRequest>> UNNotificationRequest::fromPayload(
    const nlohmann::json& payload) {
  auto fields = contentFieldsFromPayload(payload);
  if (!fields.ok()) return fields.status;
  auto content = std::make_shared<const UNNotificationContent>(std::move(*fields.value));
  return std::make_shared<UNNotificationRequest>(foundation::uuidString(), std::move(content));
}

}  // namespace platform::usernotifications
