#include "platform/usernotifications/notification_request.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>

#include "platform/foundation/locale/string_table.h"
#include "platform/foundation/uuid.h"

namespace platform::usernotifications {
namespace {

using foundation::Result;
using foundation::Status;
using Fields = UNNotificationContent::Fields;

using Note = std::function<void(Status)>;

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

// Reads a localized text of an alert: `keyName` looked up in the main
// bundle's string table and formatted with the strings of `argsName`. A
// wrong-typed key leaves the field as it is; wrong-typed arguments are
// dropped and the key still shown.
Status readLocalized(const nlohmann::json& alert, const char* keyName, const char* argsName,
                     std::string& out) {
  std::string key;
  Status status = readString(alert, keyName, "aps.alert", key);
  if (!status.ok() || key.empty()) return status;
  std::vector<std::string> arguments;
  auto args = alert.find(argsName);
  if (args != alert.end() && !args->is_null()) {
    const bool strings =
        args->is_array() &&
        std::all_of(args->begin(), args->end(), [](const auto& arg) { return arg.is_string(); });
    if (!strings)
      status = wrongType(std::string("aps.alert.") + argsName, "an array of strings", *args);
    else
      arguments = args->get<std::vector<std::string>>();
  }
  out = foundation::localizedString(key, arguments);
  return status;
}

void readAlert(const nlohmann::json& alert, Fields& fields, const Note& note) {
  if (alert.is_null()) return;
  if (alert.is_string()) {
    fields.body = alert.get<std::string>();
    return;
  }
  if (!alert.is_object()) return note(wrongType("aps.alert", "a string or an object", alert));
  struct Member {
    const char *plain, *key, *args;
    std::string Fields::*field;
  };
  for (const Member& member :
       {Member{"title", "title-loc-key", "title-loc-args", &Fields::title},
        Member{"subtitle", "subtitle-loc-key", "subtitle-loc-args", &Fields::subtitle},
        Member{"body", "loc-key", "loc-args", &Fields::body}}) {
    note(readString(alert, member.plain, "aps.alert", fields.*member.field));
    // A localized text, when the alert has one, is shown instead of the plain one.
    note(readLocalized(alert, member.key, member.args, fields.*member.field));
  }
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

Result<Fields> contentFieldsFromPayload(const nlohmann::json& payload,
                                        std::vector<std::string>* notes) {
  if (!payload.is_object()) {
    return wrongType("the payload", "a JSON object", payload);
  }
  auto aps = payload.find("aps");
  if (aps == payload.end()) {
    return Status::InvalidArgument("the payload has no \"aps\" member, so it is no notification");
  }
  if (!aps->is_object()) return wrongType("aps", "an object", *aps);
  Fields fields;
  fields.userInfo = payload;

  const Note note = [notes](Status status) {
    if (!status.ok() && notes) notes->push_back(status.localizedDescription());
  };
  const nlohmann::json null;
  auto member = [&](const char* key) -> const nlohmann::json& {
    auto found = aps->find(key);
    return found == aps->end() ? null : *found;
  };
  readAlert(member("alert"), fields, note);
  note(readBadge(member("badge"), fields));
  note(readSound(member("sound"), fields));
  note(readString(*aps, "category", "aps", fields.categoryIdentifier));
  note(readString(*aps, "thread-id", "aps", fields.threadIdentifier));
  return fields;
}

bool startsServiceExtension(const nlohmann::json& payload) {
  if (!payload.is_object()) return false;
  auto aps = payload.find("aps");
  if (aps == payload.end() || !aps->is_object()) return false;
  auto mutableContent = aps->find("mutable-content");
  auto alert = aps->find("alert");
  return mutableContent != aps->end() && mutableContent->is_number_integer() &&
         *mutableContent == 1 && alert != aps->end() && (alert->is_string() || alert->is_object());
}

Result<std::shared_ptr<UNNotificationRequest>> UNNotificationRequest::fromPayload(
    const nlohmann::json& payload, std::vector<std::string>* notes) {
  auto fields = contentFieldsFromPayload(payload, notes);
  if (!fields.ok()) return fields.status;
  auto content = std::make_shared<const UNNotificationContent>(std::move(*fields.value));
  return std::make_shared<UNNotificationRequest>(foundation::uuidString(), std::move(content));
}

}  // namespace platform::usernotifications
