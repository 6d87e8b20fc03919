#include "platform/intents/object_runtime.h"

#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

namespace platform::intents {
namespace {

using foundation::Status;

struct Registry {
  std::mutex mutex;
  std::map<std::string, ObjectClass, std::less<>> classes;
};

Registry& registry() {
  static Registry* instance = new Registry();  // never destroyed: lookups may run during exit
  return *instance;
}

// Copies the factory out so that it runs without the lock held: an
// initializer may itself look classes up.
template <class Factory>
Factory findFactory(std::string_view name, Factory ObjectClass::*member) {
  Registry& classes = registry();
  std::lock_guard<std::mutex> lock(classes.mutex);
  auto found = classes.classes.find(name);
  if (found == classes.classes.end()) return nullptr;
  return found->second.*member;
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
  Registry& classes = registry();
  std::lock_guard<std::mutex> lock(classes.mutex);
  if (classes.classes.count(objectClass.name) != 0) {
    return Status::InvalidArgument("class \"" + objectClass.name + "\" is already registered");
  }
  std::string name = objectClass.name;
  classes.classes.emplace(std::move(name), std::move(objectClass));
  return Status::okStatus();
}

bool isClassRegistered(std::string_view name) {
  Registry& classes = registry();
  std::lock_guard<std::mutex> lock(classes.mutex);
  return classes.classes.find(name) != classes.classes.end();
}

std::vector<std::string> registeredClassNames() {
  Registry& classes = registry();
  std::lock_guard<std::mutex> lock(classes.mutex);
  std::vector<std::string> names;
  for (const auto& entry : classes.classes) names.push_back(entry.first);
  return names;
}

std::shared_ptr<NSObject> createInstance(std::string_view name) {
  auto make = findFactory(name, &ObjectClass::make);
  return make ? make() : nullptr;
}

std::shared_ptr<NSObject> createInstance(std::string_view name, const NSCoder& coder) {
  auto make = findFactory(name, &ObjectClass::makeFromArchive);
  return make ? make(coder) : nullptr;
}

}  // namespace platform::intents
