#include "platform/usernotifications/service_extension.h"

#include <map>
#include <mutex>

namespace platform::usernotifications {
namespace {

using foundation::Status;

struct Registry {
  std::mutex mutex;
  std::map<std::string, ServiceExtensionFactory, std::less<>> factories;
};

Registry& registry() {
  static Registry* instance = new Registry();  // never destroyed: lookups may run during exit
  return *instance;
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
  Registry& classes = registry();
  std::lock_guard<std::mutex> lock(classes.mutex);
  if (classes.factories.count(name) != 0) {
    return Status::InvalidArgument("principal class \"" + name + "\" is already registered");
  }
  classes.factories.emplace(std::move(name), std::move(factory));
  return Status::okStatus();
}

std::shared_ptr<UNNotificationServiceExtension> createPrincipalClass(std::string_view name) {
  ServiceExtensionFactory factory;
  {
    Registry& classes = registry();
    std::lock_guard<std::mutex> lock(classes.mutex);
    auto found = classes.factories.find(name);
    if (found == classes.factories.end()) return nullptr;
    factory = found->second;
  }
  return factory();
}

}  // namespace platform::usernotifications
