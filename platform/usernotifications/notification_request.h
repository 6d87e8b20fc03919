// UNNotificationRequest: one notification as the system hands it to a
// service extension, and the construction of its content from a push
// payload the way the phone does it.
// A request is immutable once made: share it freely between threads.
#pragma once

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

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

  // A request with a fresh identifier (a UUID) for a push payload; fails as
  // contentFieldsFromPayload does.
  static foundation::Result<std::shared_ptr<UNNotificationRequest>> fromPayload(
      const nlohmann::json& payload);

 private:
  std::string identifier_;
  std::shared_ptr<const UNNotificationContent> content_;
};

// The content of a remote notification, from its payload
// {"aps":{"alert":…,"badge":…,"sound":…,"category":…,"thread-id":…,…},…}:
// title, subtitle and body from aps.alert (a string alert is the body),
// badge, sound (a name, or the "name" of a critical-alert dictionary),
// category and thread; userInfo is the whole payload. Attachments start empty.
// kInvalidArgument, naming the member, when the payload is not an object or a
// member the phone reads has the wrong type (a badge must be a whole number).
// A payload without "aps" makes an empty content.
foundation::Result<UNNotificationContent::Fields> contentFieldsFromPayload(
    const nlohmann::json& payload);

}  // namespace platform::usernotifications
