#include "platform/intents/object_runtime.h"

#include <nlohmann/json.hpp>

#include "platform/foundation/named_registry.h"

namespace platform::intents {
namespace {

using foundation::Status;

foundation::NamedRegistry<ObjectClass>& classes() {
  return foundation::NamedRegistry<ObjectClass>::shared();
}

}  // namespace

nlohmann::json NSObject::valueForKey(std::string_view) const { return nullptr; }

Status NSObject::setValueForKey(std::string_view key, const nlohmann::json&) {
  return Status::NotFound(std::string(className()) + " has no property \"" + std::string(key) +
                          "\"");
}

Status registerClass(ObjectClass objectClass) {
  if (objectClass.name.empty()) {
    return Status::InvalidArgument("a class needs a name to be registered");
  }
  if (!objectClass.make || !objectClass.makeFromArchive) {
    return Status::InvalidArgument("class \"" + objectClass.name +
                                   "\" needs both initializers to be registered");
  }
  std::string name = objectClass.name;
  if (!classes().add(name, std::move(objectClass))) {
    return Status::InvalidArgument("class \"" + name + "\" is already registered");
  }
  return Status::okStatus();
}

bool isClassRegistered(std::string_view name) { return classes().find(name).has_value(); }

std::vector<std::string> registeredClassNames() { return classes().names(); }

std::shared_ptr<NSObject> createInstance(std::string_view name) {
  auto found = classes().find(name);
  return found ? found->make() : nullptr;
}

std::shared_ptr<NSObject> createInstance(std::string_view name, const NSCoder& coder) {
  auto found = classes().find(name);
  return found ? found->makeFromArchive(coder) : nullptr;
}

}  // namespace platform::intents
