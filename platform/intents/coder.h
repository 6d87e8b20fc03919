// NSCoder: a keyed archive of JSON values, standing in for the platform's
// coder that archive initializers (`initWithCoder:`) read from and
// `encodeWithCoder:` writes to.
// A plain value: copy freely; not safe to change from two threads at once.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/status.h"

namespace platform::intents {

class NSCoder {
 public:
  NSCoder() = default;

  // An archive read back from archivedData(); kParse when the bytes are not
  // a JSON object.
  static foundation::Result<NSCoder> archiveFromData(std::string_view data);
  // The archive as bytes (a JSON object).
  std::string archivedData() const;

  void encode(std::string_view key, nlohmann::json value);
  bool containsValueForKey(std::string_view key) const;
  // The value under `key`; nothing when absent.
  std::optional<nlohmann::json> decode(std::string_view key) const;
  // The string under `key`; nothing when absent or not a string.
  std::optional<std::string> decodeString(std::string_view key) const;

 private:
  nlohmann::json values_ = nlohmann::json::object();
};

}  // namespace platform::intents
