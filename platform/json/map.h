// Map: one JSON object seen through a record's mapping table.
//
// A record maps itself by naming, for each property, the member that fills
// it. The rule is the same for every text property: a JSON string sets the
// text, any other present value (number, boolean, null, array, object)
// makes it absent, and a missing member keeps what the property held.
// Member names are exact, case-sensitive, top-level names.
//
// A Map only borrows the parsed document: use it while the document lives,
// on one thread at a time.
#pragma once

#include <simdjson.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::json {

class Map {
 public:
  explicit Map(simdjson::dom::object object) : object_(object) {}

  // Applies the text rule to `property` for `member`.
  void operator()(std::string_view member, std::optional<std::string>& property) const;

  // The raw member, for mappings with rules of their own.
  std::optional<simdjson::dom::element> member(std::string_view name) const;

 private:
  simdjson::dom::object object_;
};

// A record type that can be made from a Map and then filled by it:
//   T(const Map&) makes a record at its defaults and never fails;
//   void mapping(const Map&) applies the record's table.
template <class T>
concept Mappable = requires(T record, const Map& map) {
  T(map);
  record.mapping(map);
};

template <Mappable T>
T mapObject(simdjson::dom::object object) {
  Map map(object);
  T record(map);
  record.mapping(map);
  return record;
}

// One record per element, in order; none at all when an element is not a
// JSON object.
template <Mappable T>
std::optional<std::vector<T>> mapArray(simdjson::dom::array array) {
  std::vector<T> records;
  records.reserve(array.size());
  for (simdjson::dom::element element : array) {
    simdjson::dom::object object;
    if (element.get_object().get(object) != simdjson::SUCCESS) return std::nullopt;
    records.push_back(mapObject<T>(object));
  }
  return records;
}

}  // namespace platform::json
