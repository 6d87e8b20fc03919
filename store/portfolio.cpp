#include "store/portfolio.h"

#include <simdjson.h>

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/json/document.h"

namespace quorvel {

using platform::foundation::Result;
using platform::foundation::Status;

namespace {

// Only the holding line has a text field; the snapshot's code never needs
// the text branch.
template <class Record>
constexpr bool kHasText = std::is_same_v<Record, Portfolio>;

template <class Record>
struct Field {
  const char* name;
  std::variant<double Record::*, std::string Record::*> member;
};

const std::vector<Field<Portfolio>>& fields(const Portfolio*) {
  static const std::vector<Field<Portfolio>> f = {{"symbol", &Portfolio::symbol},
                                                  {"amount", &Portfolio::amount},
                                                  {"price", &Portfolio::price},
                                                  {"priceChange", &Portfolio::priceChange}};
  return f;
}

const std::vector<Field<PortfolioWidget>>& fields(const PortfolioWidget*) {
  static const std::vector<Field<PortfolioWidget>> f = {
      {"todayBalance", &PortfolioWidget::todayBalance},
      {"yesterdayBalance", &PortfolioWidget::yesterdayBalance}};
  return f;
}

// Names and texts are quoted and escaped by nlohmann. Bytes that are not
// UTF-8 (a decoded text never has any) become U+FFFD rather than failing.
std::string quotedText(std::string_view text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

const char* nonFiniteName(double value) {
  if (std::isnan(value)) return "Double.nan";
  return std::signbit(value) ? "-Double.infinity" : "Double.infinity";
}

// The shortest text that reads back to `value`, as std::to_chars writes it:
// stored snapshots hold these bytes ("12000", "1e+05"), which nlohmann's own
// number form ("12000.0", "100000.0") would change. The shortest form of a large
// whole number can be plain digits ("430922337203685490688"), which the
// reader takes for an integer and refuses past 64 bits; those are written
// with an exponent instead.
std::string numberText(double value) {
  char buffer[64];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  std::string_view text(buffer, static_cast<size_t>(end - buffer));
  if (std::fabs(value) >= 9223372036854775808.0 &&  // 2^63
      text.find_first_of(".e") == std::string_view::npos) {
    end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
  }
  return std::string(buffer, end);
}

template <class Record>
Result<std::string> encode(const Record& record) {
  std::string out = "{";
  bool first = true;
  for (const auto& field : fields(&record)) {
    if (!first) out += ',';
    first = false;
    out += quotedText(field.name);
    out += ':';
    if (auto* number = std::get_if<double Record::*>(&field.member)) {
      double value = record.*(*number);
      if (!std::isfinite(value)) {
        return Status::InvalidArgument(std::string("invalidValue(") + nonFiniteName(value) +
                                       ", codingPath: [\"" + field.name + "\"], Unable to encode " +
                                       nonFiniteName(value) + " directly in JSON.)");
      }
      out += numberText(value);
    } else if constexpr (kHasText<Record>) {
      out += quotedText(record.*std::get<std::string Record::*>(field.member));
    }
  }
  out += '}';
  return out;
}

const char* jsonTypeName(simdjson::dom::element_type type) {
  switch (type) {
    case simdjson::dom::element_type::ARRAY:
      return "an array";
    case simdjson::dom::element_type::OBJECT:
      return "a dictionary";
    case simdjson::dom::element_type::STRING:
      return "a string";
    case simdjson::dom::element_type::BOOL:
      return "a bool";
    case simdjson::dom::element_type::NULL_VALUE:
      return "null";
    default:
      return "a number";
  }
}

Status typeMismatch(const char* field, const char* expected, simdjson::dom::element_type found) {
  std::string path = field ? std::string("codingPath: [\"") + field + "\"], " : "codingPath: [], ";
  return Status::Parse(std::string("typeMismatch(") + expected + ", " + path +
                       "Expected to decode " + expected + " but found " + jsonTypeName(found) +
                       " instead.)");
}

template <class Record>
Result<Record> decode(std::string_view json) {
  simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (auto error = platform::json::parse(parser, json, root); error != simdjson::SUCCESS) {
    return Status::Parse(
        std::string("dataCorrupted(codingPath: [], The given data was not valid JSON. (") +
        simdjson::error_message(error) + "))");
  }
  simdjson::dom::object object;
  if (root.get_object().get(object) != simdjson::SUCCESS) {
    return typeMismatch(nullptr, "Dictionary<String, Any>", root.type());
  }
  Record record{};
  for (const auto& field : fields(&record)) {
    simdjson::dom::element value;
    if (object.at_key(field.name).get(value) != simdjson::SUCCESS) continue;  // missing: default
    if (value.is_null()) continue;
    if (auto* number = std::get_if<double Record::*>(&field.member)) {
      if (value.get_double().get(record.*(*number)) != simdjson::SUCCESS) {
        return typeMismatch(field.name, "Double", value.type());
      }
    } else if constexpr (kHasText<Record>) {
      std::string_view text;
      if (value.get_string().get(text) != simdjson::SUCCESS) {
        return typeMismatch(field.name, "String", value.type());
      }
      record.*std::get<std::string Record::*>(field.member) = std::string(text);
    }
  }
  return record;
}

}  // namespace

Result<std::string> encodeJSON(const Portfolio& line) { return encode(line); }
Result<std::string> encodeJSON(const PortfolioWidget& snapshot) { return encode(snapshot); }
Result<Portfolio> decodePortfolio(std::string_view json) { return decode<Portfolio>(json); }
Result<PortfolioWidget> decodePortfolioWidget(std::string_view json) {
  return decode<PortfolioWidget>(json);
}

}  // namespace quorvel
