// The object runtime's class registry: classes registered under a runtime
// name can be looked up and instantiated by that name, as the platform does
// when it meets a class name in an intent definition or an archive.
// Thread rule: every function may be called from any thread; registration
// and lookup are serialised internally. Ownership: instances are returned as
// shared references owned by the caller; the registry keeps only factories.
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/foundation/status.h"

namespace platform::intents {

class NSCoder;

// Root of the classes the runtime can create by name.
class NSObject {
 public:
  NSObject() = default;
  NSObject(const NSObject&) = default;
  NSObject& operator=(const NSObject&) = default;
  virtual ~NSObject() = default;

  // The name the class is registered under.
  virtual std::string_view className() const = 0;

  // Key-value access to a class's properties by name, the way the runtime's
  // generated accessors expose them. The defaults know no keys: valueForKey
  // gives null and setValueForKey returns kNotFound.
  virtual nlohmann::json valueForKey(std::string_view key) const;
  virtual foundation::Status setValueForKey(std::string_view key, const nlohmann::json& value);
};

struct ObjectClass {
  std::string name;
  std::function<std::shared_ptr<NSObject>()> make;  // the default initializer
  std::function<std::shared_ptr<NSObject>(const NSCoder&)> makeFromArchive;  // `initWithCoder:`
};

// Registers `objectClass`. kInvalidArgument when the name is empty, a
// factory is missing, or the name is already taken (the first stays).
foundation::Status registerClass(ObjectClass objectClass);

// Registers T under `name`, using its default and archive constructors.
template <class T>
foundation::Status registerClass(std::string name) {
  static_assert(std::is_base_of_v<NSObject, T>, "registered classes derive from NSObject");
  return registerClass(ObjectClass{
      std::move(name),
      [] { return std::shared_ptr<NSObject>(std::make_shared<T>()); },
      [](const NSCoder& coder) { return std::shared_ptr<NSObject>(std::make_shared<T>(coder)); },
  });
}

bool isClassRegistered(std::string_view name);
// Registered names in alphabetical order.
std::vector<std::string> registeredClassNames();

// A new instance of the class registered under `name`; null when no class
// has that name.
std::shared_ptr<NSObject> createInstance(std::string_view name);
std::shared_ptr<NSObject> createInstance(std::string_view name, const NSCoder& coder);

// As createInstance, but null also when the instance is not a T.
template <class T>
std::shared_ptr<T> createInstanceOf(std::string_view name) {
  return std::dynamic_pointer_cast<T>(createInstance(name));
}
template <class T>
std::shared_ptr<T> createInstanceOf(std::string_view name, const NSCoder& coder) {
  return std::dynamic_pointer_cast<T>(createInstance(name, coder));
}

}  // namespace platform::intents
