// Declarative schemas of object-store record types.
//
// A record type describes itself once, as a list of (name, member pointer)
// pairs; from that the store derives its table, its columns and how to read
// and write a record, so no record type carries SQL of its own.
//
//   const ObjectSchema& Asset::schema() {
//     static const ObjectSchema s = makeSchema<Asset>("Asset", "symbol",
//         property("symbol", &Asset::symbol), property("free", &Asset::free));
//     return s;
//   }
//
// Schemas are immutable after construction and safe to share across threads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace platform::objectstore {

// A stored value as the database holds it: NULL, text, 64-bit float or
// 64-bit integer.
using Value = std::variant<std::monostate, std::string, double, std::int64_t>;

enum class PropertyType { kString, kDouble, kInteger };

// RealmProperty: a holder of one optional value that a record creates with
// itself and never replaces; only `value` changes.
template <class T>
struct RealmProperty {
  T value{};
  friend bool operator==(const RealmProperty&, const RealmProperty&) = default;
};

// Object: the base of every stored record type. Each derived type provides
//   static const ObjectSchema& schema();
//   static std::string primaryKey();
class Object {
 public:
  virtual ~Object() = default;

 protected:
  Object() = default;
  Object(const Object&) = default;
  Object& operator=(const Object&) = default;
};

struct PropertySchema {
  std::string name;
  PropertyType type;
  // Reads the property of a record (passed as void* to erase its type).
  std::function<Value(const void*)> get;
  // Writes a database value into the property; a NULL or a value of
  // another type makes an optional property absent (0 for an integer).
  std::function<void(void*, const Value&)> set;
};

struct ObjectSchema {
  std::string className;
  std::string primaryKey;
  std::vector<PropertySchema> properties;
};

namespace detail {

template <class T>
struct Traits;

template <>
struct Traits<std::optional<std::string>> {
  static constexpr PropertyType kType = PropertyType::kString;
  static Value get(const std::optional<std::string>& v) { return v ? Value(*v) : Value(); }
  static void set(std::optional<std::string>& v, const Value& in) {
    if (auto* s = std::get_if<std::string>(&in))
      v = *s;
    else
      v.reset();
  }
};

template <>
struct Traits<std::optional<double>> {
  static constexpr PropertyType kType = PropertyType::kDouble;
  static Value get(const std::optional<double>& v) { return v ? Value(*v) : Value(); }
  static void set(std::optional<double>& v, const Value& in) {
    if (auto* d = std::get_if<double>(&in))
      v = *d;
    else if (auto* i = std::get_if<std::int64_t>(&in))
      v = static_cast<double>(*i);
    else
      v.reset();
  }
};

template <>
struct Traits<std::int64_t> {
  static constexpr PropertyType kType = PropertyType::kInteger;
  static Value get(const std::int64_t& v) { return Value(v); }
  static void set(std::int64_t& v, const Value& in) {
    if (auto* i = std::get_if<std::int64_t>(&in))
      v = *i;
    else if (auto* d = std::get_if<double>(&in))
      v = static_cast<std::int64_t>(*d);
    else
      v = 0;
  }
};

template <class U>
struct Traits<RealmProperty<U>> {
  static constexpr PropertyType kType = Traits<U>::kType;
  static Value get(const RealmProperty<U>& p) { return Traits<U>::get(p.value); }
  static void set(RealmProperty<U>& p, const Value& in) { Traits<U>::set(p.value, in); }
};

}  // namespace detail

// The property `name` stored in `member`. A member that Record inherits
// names Record explicitly (property<Record>(...)): the store hands the
// property the address of a whole Record.
template <class Record = void, class Owner, class Member>
PropertySchema property(std::string name, Member Owner::*member) {
  using R = std::conditional_t<std::is_void_v<Record>, Owner, Record>;
  static_assert(std::is_base_of_v<Owner, R>, "the member must belong to the record");
  using T = detail::Traits<Member>;
  return PropertySchema{
      std::move(name), T::kType,
      [member](const void* record) { return T::get(static_cast<const R*>(record)->*member); },
      [member](void* record, const Value& v) { T::set(static_cast<R*>(record)->*member, v); }};
}

template <class Record, class... Properties>
ObjectSchema makeSchema(std::string className, std::string primaryKey, Properties... properties) {
  return ObjectSchema{std::move(className), std::move(primaryKey), {std::move(properties)...}};
}

// Every record type of the program, in registration order: the store's
// default schema. Registering a type twice keeps the first registration.
void registerObjectType(const ObjectSchema& schema);
std::vector<const ObjectSchema*> registeredObjectTypes();

template <class Record>
bool registerObjectType() {
  registerObjectType(Record::schema());
  return true;
}

}  // namespace platform::objectstore
