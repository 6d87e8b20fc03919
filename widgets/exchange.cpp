#include "widgets/exchange.h"

#include <locale.h>
#include <simdjson.h>

#include <cstdlib>
#include <cstring>

#include "platform/json/map.h"

#ifndef QUORVEL_DEFAULT_API_BASE_URL
#define QUORVEL_DEFAULT_API_BASE_URL "https://api.binance.com"
#endif

namespace quorvel {

using platform::foundation::Status;

std::string apiBaseURL() {
  if (const char* url = std::getenv("QUORVEL_API_BASE_URL"); url && *url) return url;
  return QUORVEL_DEFAULT_API_BASE_URL;
}

Pair usdtRow() {
  return Pair(std::string("usdtusdt"), std::string("1.0"), std::string("0.0"), std::string("0.0"));
}
Pair usdcRow() {
  return Pair(std::string("usdcusdt"), std::string("1.0"), std::string("0.0"), std::string("0.0"));
}

std::optional<std::vector<Pair>> tickersFromAnswer(const simdjson::dom::element& root) {
  simdjson::dom::array array;
  if (root.get_array().get(array) == simdjson::SUCCESS) {
    auto pairs = platform::json::mapArray<Pair>(array);
    if (!pairs) return std::nullopt;
    pairs->push_back(usdtRow());
    return pairs;
  }
  simdjson::dom::object object;
  if (root.get_object().get(object) == simdjson::SUCCESS) {
    std::vector<Pair> pairs;
    pairs.push_back(platform::json::mapObject<Pair>(object));
    pairs.push_back(usdtRow());
    pairs.push_back(usdcRow());
    return pairs;
  }
  return std::nullopt;
}

Status exchangeError(long statusCode, const simdjson::dom::element* root) {
  std::string description = "The exchange answered with HTTP status " + std::to_string(statusCode);
  std::string_view message;
  if (root && (*root)["msg"].get_string().get(message) == simdjson::SUCCESS && !message.empty()) {
    description += ": ";
    description += message;
  } else {
    description += ".";
  }
  return Status::HttpStatus(std::move(description));
}

double priceNumber(const std::optional<std::string_view>& text) {
  if (!text) return 0;  // an absent text reads as "0"
  const std::string_view t = *text;
  if (t.empty()) return 0;
  switch (t[0]) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
      return 0;
    default:
      break;
  }
  // strtod wants a terminated text; prices are short, so a stack copy
  // almost always does.
  char small[64];
  std::string large;
  const char* terminated = small;
  if (t.size() < sizeof small) {
    std::memcpy(small, t.data(), t.size());
    small[t.size()] = '\0';
  } else {
    large.assign(t);
    terminated = large.c_str();
  }
  // The C locale, whatever the process's: a decimal point is always ".".
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  char* end = nullptr;
  double value = strtod_l(terminated, &end, cLocale);
  if (end != terminated + t.size()) return 0;  // trailing text, or an embedded NUL
  return value;
}

double priceNumber(const std::optional<std::string>& text) {
  if (!text) return 0;
  return priceNumber(std::optional<std::string_view>(*text));
}

}  // namespace quorvel
