#include "notifications/notification_service.h"

#include <mutex>
#include <string>

#include "platform/messaging/extension_helper.h"

namespace quorvel {

using platform::usernotifications::ContentHandler;
using platform::usernotifications::UNMutableNotificationContent;
using platform::usernotifications::UNNotificationRequest;

namespace {
constexpr char kBundleIdentifier[] = "com.tavrin.quorvel.notifications";
}  // namespace

void NotificationService::didReceiveNotificationRequest(
    std::shared_ptr<UNNotificationRequest> request, ContentHandler handler) {
  contentHandler = std::move(handler);
  // A request always has content; a missing one is treated like a copy that
  // is not mutable: nothing to complete, nothing to deliver.
  bestAttemptContent = request && request->content()
                           ? std::dynamic_pointer_cast<UNMutableNotificationContent>(
                                 request->content()->mutableCopy())
                           : nullptr;
  if (bestAttemptContent) {
    platform::messaging::FIRMessaging::extensionHelper().populateNotificationContent(
        bestAttemptContent, contentHandler);
  }
}

void NotificationService::serviceExtensionTimeWillExpire() {
  if (!contentHandler) return;
  if (!bestAttemptContent) return;
  contentHandler(bestAttemptContent);
}

platform::usernotifications::NSExtensionInfo notificationsExtensionInfo() {
  static std::once_flag once;
  std::call_once(once, [] {
    (void)platform::usernotifications::registerPrincipalClass<NotificationService>(
        std::string(NotificationService::kClassName));
  });
  return {kBundleIdentifier, std::string(NotificationService::kClassName), QUORVEL_VERSION,
          "Quorvel", "../share/quorvel/quorvel-icon.png"};
}

}  // namespace quorvel
