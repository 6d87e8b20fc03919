#include "widgets/exchange.h"

#include <simdjson.h>

#include <cstdlib>

#include "platform/foundation/decimal.h"
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

double priceNumber(std::optional<std::string_view> text) {
  if (!text) return 0;
  return platform::foundation::parseDecimal(*text).value_or(0);
}

}  // namespace quorvel
