#include "platform/usernotifications/service_extension.h"

#include "platform/foundation/named_registry.h"

namespace platform::usernotifications {
namespace {

using foundation::Status;

foundation::NamedRegistry<ServiceExtensionFactory>& principalClasses() {
  return foundation::NamedRegistry<ServiceExtensionFactory>::shared();
}

}  // namespace

void UNNotificationServiceExtension::didReceiveNotificationRequest(
    std::shared_ptr<UNNotificationRequest> request, ContentHandler contentHandler) {
  if (request && contentHandler) contentHandler(request->content()->mutableCopy());
}

Status registerPrincipalClass(std::string name, ServiceExtensionFactory factory) {
  if (name.empty()) return Status::InvalidArgument("a principal class needs a name");
  if (!factory) {
    return Status::InvalidArgument("principal class \"" + name + "\" needs a factory");
  }
  if (!principalClasses().add(name, std::move(factory))) {
    return Status::InvalidArgument("principal class \"" + name + "\" is already registered");
  }
  return Status::okStatus();
}

std::shared_ptr<UNNotificationServiceExtension> createPrincipalClass(std::string_view name) {
  auto factory = principalClasses().find(name);
  return factory ? (*factory)() : nullptr;
}

}  // namespace platform::usernotifications
