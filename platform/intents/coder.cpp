#include "platform/intents/coder.h"

namespace platform::intents {

using foundation::Result;
using foundation::Status;

Result<NSCoder> NSCoder::archiveFromData(std::string_view data) {
  nlohmann::json parsed = nlohmann::json::parse(data, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) {
    return Status::Parse("archive is not valid JSON");
  }
  if (!parsed.is_object()) {
    return Status::Parse(std::string("archive must be a JSON object, not ") + parsed.type_name());
  }
  NSCoder coder;
  coder.values_ = std::move(parsed);
  return coder;
}

std::string NSCoder::archivedData() const { return values_.dump(); }

void NSCoder::encode(std::string_view key, nlohmann::json value) {
  values_[std::string(key)] = std::move(value);
}

bool NSCoder::containsValueForKey(std::string_view key) const { return values_.contains(key); }

std::optional<nlohmann::json> NSCoder::decode(std::string_view key) const {
  auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return *found;
}

std::optional<std::string> NSCoder::decodeString(std::string_view key) const {
  auto found = values_.find(key);
  if (found == values_.end() || !found->is_string()) return std::nullopt;
  return found->get<std::string>();
}

}  // namespace platform::intents
