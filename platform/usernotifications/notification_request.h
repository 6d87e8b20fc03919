// UNNotificationRequest: one notification as the system hands it to a
// service extension, and the construction of its content from a push
// payload the way the phone does it.
// A request is immutable once made: share it freely between threads.
#pragma once

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "platform/foundation/status.h"
#include "platform/usernotifications/notification_content.h"

namespace platform::usernotifications {

class UNNotificationRequest {
 public:
  UNNotificationRequest(std::string identifier,
                        std::shared_ptr<const UNNotificationContent> content)
      : identifier_(std::move(identifier)), content_(std::move(content)) {}

  const std::string& identifier() const { return identifier_; }
  // Never null.
  const std::shared_ptr<const UNNotificationContent>& content() const { return content_; }

  // A request with a fresh identifier (a UUID) for a push payload; fails
  // and notes as contentFieldsFromPayload does.
  static foundation::Result<std::shared_ptr<UNNotificationRequest>> fromPayload(
      const nlohmann::json& payload, std::vector<std::string>* notes = nullptr);

 private:
  std::string identifier_;
  std::shared_ptr<const UNNotificationContent> content_;
};

// The content of a remote notification, from its payload
// {"aps":{"alert":…,"badge":…,"sound":…,"category":…,"thread-id":…,…},…}:
// title, subtitle and body from aps.alert (a string alert is the body; a
// "loc-key", "title-loc-key" or "subtitle-loc-key" is looked up in the main
// bundle's string table, the key itself being the format, and its "…-args"
// fill "%@" and "%n$@"), badge, sound (a name, or the "name" of a
// critical-alert dictionary), category and thread; userInfo is the whole
// payload. Attachments start empty.
// A member the phone reads that has the wrong type (a badge must be a whole
// number) is left out, as the phone leaves it out, with one sentence naming
// it appended to `notes` when given. kInvalidArgument when the payload is
// not an object or has no "aps" object: then it is no notification.
foundation::Result<UNNotificationContent::Fields> contentFieldsFromPayload(
    const nlohmann::json& payload, std::vector<std::string>* notes = nullptr);

// True when the phone hands this payload to a service extension: its "aps"
// asks for it with "mutable-content": 1 and has an alert to show.
bool startsServiceExtension(const nlohmann::json& payload);

}  // namespace platform::usernotifications
