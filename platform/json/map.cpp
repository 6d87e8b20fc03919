#include "platform/json/map.h"

namespace platform::json {

std::optional<simdjson::dom::element> Map::member(std::string_view name) const {
  // Scans in document order so a repeated member resolves to its first
  // occurrence, like a lookup by name.
  for (auto field : object_) {
    if (field.key == name) return field.value;
  }
  return std::nullopt;
}

void Map::operator()(std::string_view name, std::optional<std::string>& property) const {
  auto value = member(name);
  if (!value) return;
  std::string_view text;
  if (value->get_string().get(text) == simdjson::SUCCESS) {
    property.emplace(text);
  } else {
    property.reset();
  }
}

}  // namespace platform::json
