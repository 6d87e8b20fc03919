#include "platform/objectstore/schema.h"

#include <mutex>

namespace platform::objectstore {
namespace {

struct Registry {
  std::mutex mutex;
  std::vector<const ObjectSchema*> types;
};

Registry& registry() {
  static Registry* r = new Registry();  // never destroyed: used from static initialisers
  return *r;
}

}  // namespace

void registerObjectType(const ObjectSchema& schema) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  for (const ObjectSchema* s : r.types) {
    if (s->className == schema.className) return;
  }
  r.types.push_back(&schema);
}

std::vector<const ObjectSchema*> registeredObjectTypes() {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  return r.types;
}

}  // namespace platform::objectstore
