// NotificationService: the notification service extension's principal
// class. Each request's content goes, as a mutable copy, to the messaging
// library's extension helper, which completes and delivers it; when time
// runs out first, the copy is delivered as far as it got.
// The system calls both entry points on the main queue, one at a time; no
// lock is taken. The callback and the copy are shared references, so the
// helper's and this object's can each outlive the other.
#pragma once

#include <memory>
#include <string_view>

#include "platform/usernotifications/extension_main.h"
#include "platform/usernotifications/notification_content.h"
#include "platform/usernotifications/notification_request.h"
#include "platform/usernotifications/service_extension.h"

namespace quorvel {

class NotificationService : public platform::usernotifications::UNNotificationServiceExtension {
 public:
  static constexpr std::string_view kClassName =
      "QuorvelNotificationsExtension.NotificationService";

  NotificationService() = default;

  void didReceiveNotificationRequest(
      std::shared_ptr<platform::usernotifications::UNNotificationRequest> request,
      platform::usernotifications::ContentHandler contentHandler) override;
  void serviceExtensionTimeWillExpire() override;

  // The current request's delivery callback (empty: none yet), kept so that
  // the expiry entry point can deliver through it.
  platform::usernotifications::ContentHandler contentHandler;
  // The current request's mutable copy, the same object the helper completes.
  std::shared_ptr<platform::usernotifications::UNMutableNotificationContent> bestAttemptContent;
};

// Registers NotificationService as the principal class (idempotent) and
// returns what the extension's property list declares: the bundle
// identifier "com.tavrin.quorvel.notifications" and the principal class.
platform::usernotifications::NSExtensionInfo notificationsExtensionInfo();

}  // namespace quorvel
