#include "platform/foundation/bundle.h"

#include <mutex>

namespace platform::foundation {
namespace {

std::mutex& identifierMutex() {
  static std::mutex m;
  return m;
}
std::string& identifierStorage() {
  static std::string id = "main";
  return id;
}

}  // namespace

void setMainBundleIdentifier(std::string_view identifier) {
  std::lock_guard lock(identifierMutex());
  identifierStorage() = identifier;
}

std::string mainBundleIdentifier() {
  std::lock_guard lock(identifierMutex());
  return identifierStorage();
}

}  // namespace platform::foundation
