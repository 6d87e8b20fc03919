// The record types of the shared store: Asset, ExchangeInfo, PortfolioPair,
// SpotPair and Pair.
//
// Each is a store record (declared once in records.cpp) and can be filled
// from one JSON object by its mapping table. Prices, changes and volumes are
// decimal texts exactly as the exchange writes them; readers convert them.
// A record made here belongs to its maker: hand it between threads whole,
// never write it from two at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/json/map.h"
#include "platform/objectstore/schema.h"

namespace quorvel {

using Text = std::optional<std::string>;

// One balance of one coin.
class Asset : public platform::objectstore::Object {
 public:
  Text symbol;
  Text free;
  Text locked;

  Asset() = default;
  explicit Asset(const platform::json::Map&) {}
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "symbol"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// One trading pair of the exchange.
class ExchangeInfo : public platform::objectstore::Object {
 public:
  Text symbol;
  Text baseAsset;
  Text quoteAsset;

  ExchangeInfo() = default;
  explicit ExchangeInfo(const platform::json::Map&) {}
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "symbol"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// One holding of the user, with the 24-hour statistics of its pair. Its key
// is the base asset: one holding per coin.
class PortfolioPair : public platform::objectstore::Object {
 public:
  Text symbol;
  Text baseAsset;
  Text quoteAsset;
  Text lastPrice;
  Text priceChange;
  Text priceChangePercent;
  Text volume;
  Text quoteVolume;
  Text openPrice;
  Text highPrice;
  Text lowPrice;
  platform::objectstore::RealmProperty<std::optional<double>> amount;  // quantity held
  platform::objectstore::RealmProperty<std::optional<double>> totalValue;

  PortfolioPair() = default;
  explicit PortfolioPair(const platform::json::Map&) {}
  // Single-letter members: the names of the exchange's ticker stream events.
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "baseAsset"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// 24-hour statistics of one spot pair, keyed by its lower-case symbol.
class SpotPair : public platform::objectstore::Object {
 public:
  Text symbol;
  Text lastPrice;
  Text priceChange;
  Text priceChangePercent;
  Text volume;
  Text quoteVolume;
  Text openPrice;
  Text highPrice;
  Text lowPrice;

  SpotPair() = default;
  explicit SpotPair(const platform::json::Map&) {}
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "symbol"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// 24-hour ticker statistics of one pair, under the exchange's REST names.
class Pair : public platform::objectstore::Object {
 public:
  Text symbol;
  Text lastPrice;
  Text priceChange;
  Text priceChangePercent;
  Text volume;
  Text quoteVolume;
  std::int64_t order = 0;  // kept for the host's sorting; unused here
  Text openPrice;
  Text highPrice;
  Text lowPrice;

  Pair() = default;
  explicit Pair(const platform::json::Map&) {}
  // The four fields that price a holding; every other field at its default.
  Pair(Text symbol, Text lastPrice, Text priceChange, Text priceChangePercent)
      : symbol(std::move(symbol)),
        lastPrice(std::move(lastPrice)),
        priceChange(std::move(priceChange)),
        priceChangePercent(std::move(priceChangePercent)) {}
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "symbol"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// Declares the five types to the store, in this order, once per program.
bool registerRecordTypes();
inline const bool kRecordTypesRegistered = registerRecordTypes();

}  // namespace quorvel
