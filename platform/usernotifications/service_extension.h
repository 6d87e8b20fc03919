// UNNotificationServiceExtension: the base class of a notification service
// extension's principal class, and the registry the extension entry uses to
// create that class from its runtime name.
// The system calls both entry points on the main queue, one at a time. The
// content handler may be called from any thread. Registry functions are safe
// from any thread. Ownership: instances are created by the entry and live
// behind shared references.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/status.h"
#include "platform/usernotifications/notification_content.h"
#include "platform/usernotifications/notification_request.h"

namespace platform::usernotifications {

// The system's delivery callback: shows the content it is given. Safe to
// call from any thread; the first call for a request is the one shown.
using ContentHandler = std::function<void(std::shared_ptr<UNNotificationContent>)>;

class UNNotificationServiceExtension {
 public:
  UNNotificationServiceExtension() = default;
  UNNotificationServiceExtension(const UNNotificationServiceExtension&) = delete;
  UNNotificationServiceExtension& operator=(const UNNotificationServiceExtension&) = delete;
  virtual ~UNNotificationServiceExtension() = default;

  // A request arrives. The base class delivers the content unchanged.
  virtual void didReceiveNotificationRequest(std::shared_ptr<UNNotificationRequest> request,
                                             ContentHandler contentHandler);
  // The time limit is about to run out; whatever is to be shown must be
  // delivered now. The base class does nothing.
  virtual void serviceExtensionTimeWillExpire() {}
};

using ServiceExtensionFactory = std::function<std::shared_ptr<UNNotificationServiceExtension>()>;

// Registers the principal class `name` (module-qualified, e.g.
// "MyExtension.NotificationService"). kInvalidArgument for an empty name, an
// empty factory or a name already taken (the first stays).
foundation::Status registerPrincipalClass(std::string name, ServiceExtensionFactory factory);

template <class T>
foundation::Status registerPrincipalClass(std::string name) {
  return registerPrincipalClass(std::move(name), [] { return std::make_shared<T>(); });
}

// A new instance of the class registered as `name`; null when none is.
std::shared_ptr<UNNotificationServiceExtension> createPrincipalClass(std::string_view name);

}  // namespace platform::usernotifications
