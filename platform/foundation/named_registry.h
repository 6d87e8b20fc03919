// NamedRegistry: values registered once under a name and looked up by it
// from any thread, as the platform's runtime keeps classes by name.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::foundation {

template <class Value>
class NamedRegistry {
 public:
  // One registry per kind of value, never destroyed: look-ups may still run
  // while the process exits.
  static NamedRegistry& shared() {
    static auto* instance = new NamedRegistry();
    return *instance;
  }

  // False when the name is taken; the first registration stays.
  bool add(std::string name, Value value) {
    std::lock_guard lock(mutex_);
    return values_.try_emplace(std::move(name), std::move(value)).second;
  }

  // A copy, so that the caller runs it without the lock held: a factory may
  // itself look names up.
  std::optional<Value> find(std::string_view name) const {
    std::lock_guard lock(mutex_);
    auto found = values_.find(name);
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }

  std::vector<std::string> names() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& entry : values_) out.push_back(entry.first);
    return out;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Value, std::less<>> values_;
};

}  // namespace platform::foundation
