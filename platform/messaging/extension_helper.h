// FIRMessaging's notification extension helper: completes a notification's
// content before it is shown. When the payload carries an image address
// under "fcm_options" -> "image", the image is fetched and attached; the
// content is then delivered through the given handler.
// Safe from any thread. The handler is called exactly once per
// populateNotificationContent call: inside the call when there is nothing to
// fetch, otherwise later on the global queue. On any failure the content is
// delivered as it was. Ownership: the helper is process-wide, never
// destroyed; it keeps the content and handler only until it delivers.
#pragma once

#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

#include "platform/messaging/attachment_loader.h"
#include "platform/usernotifications/notification_content.h"
#include "platform/usernotifications/service_extension.h"

namespace platform::messaging {

class FIRMessagingExtensionHelper {
 public:
  explicit FIRMessagingExtensionHelper(AttachmentOptions options = {}) : options_(options) {}
  FIRMessagingExtensionHelper(const FIRMessagingExtensionHelper&) = delete;
  FIRMessagingExtensionHelper& operator=(const FIRMessagingExtensionHelper&) = delete;

  void populateNotificationContent(
      std::shared_ptr<usernotifications::UNMutableNotificationContent> content,
      usernotifications::ContentHandler contentHandler);

  // Applies to calls made afterwards.
  AttachmentOptions options() const;
  void setOptions(AttachmentOptions options);

 private:
  mutable std::mutex mutex_;
  AttachmentOptions options_;  // guarded by mutex_
};

// The image address in a payload: the string at "fcm_options" -> "image";
// nothing when absent or not a string.
std::optional<std::string> imageAddress(const nlohmann::json& userInfo);

class FIRMessaging {
 public:
  // The process's helper; needs no set-up.
  static FIRMessagingExtensionHelper& extensionHelper();
};

}  // namespace platform::messaging
