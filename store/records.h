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

// What every record type shares: a store record that mapObject makes at its
// defaults from a JSON object, then fills with its own mapping(). Each type
// also declares its key (primaryKey()) and its columns (schema()).
class Record : public platform::objectstore::Object {
 public:
  Record() = default;
  explicit Record(const platform::json::Map&) {}
};

// The 24-hour statistics of one pair, as the three ticker records store them.
struct TickerStatistics {
  Text lastPrice;
  Text priceChange;
  Text priceChangePercent;
  Text volume;
  Text quoteVolume;
  Text openPrice;
  Text highPrice;
  Text lowPrice;

  // Reads the single-letter members of the exchange's ticker stream events.
  void mapStream(const platform::json::Map& map);
};

// One balance of one coin.
class Asset : public Record {
 public:
  using Record::Record;
  Text symbol, free, locked;
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "symbol"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// One trading pair of the exchange.
class ExchangeInfo : public Record {
 public:
  using Record::Record;
  Text symbol, baseAsset, quoteAsset;
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "symbol"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// One holding of the user, with the 24-hour statistics of its pair, read
// from a ticker stream event. Its key is the base asset: one holding per coin.
class PortfolioPair : public Record, public TickerStatistics {
 public:
  using Record::Record;
  Text symbol, baseAsset, quoteAsset;
  platform::objectstore::RealmProperty<std::optional<double>> amount;  // quantity held
  platform::objectstore::RealmProperty<std::optional<double>> totalValue;
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "baseAsset"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// 24-hour statistics of one spot pair from a ticker stream event, keyed by
// its lower-case symbol.
class SpotPair : public Record, public TickerStatistics {
 public:
  using Record::Record;
  Text symbol;
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "symbol"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// 24-hour ticker statistics of one pair, under the exchange's REST names.
class Pair : public Record, public TickerStatistics {
 public:
  using Record::Record;
  Text symbol;
  std::int64_t order = 0;  // kept for the host's sorting; unused here

  Pair() = default;
  // The four fields that price a holding; every other field at its default.
  Pair(Text symbol, Text lastPrice, Text priceChange, Text priceChangePercent)
      : symbol(std::move(symbol)) {
    this->lastPrice = std::move(lastPrice);
    this->priceChange = std::move(priceChange);
    this->priceChangePercent = std::move(priceChangePercent);
  }
  void mapping(const platform::json::Map& map);
  static std::string primaryKey() { return "symbol"; }
  static const platform::objectstore::ObjectSchema& schema();
};

// Declares the five types to the store, in this order, once per program.
bool registerRecordTypes();
inline const bool kRecordTypesRegistered = registerRecordTypes();

}  // namespace quorvel
