#include "store/records.h"

#include "platform/foundation/text/unicode_text.h"

namespace quorvel {

using platform::objectstore::makeSchema;
using platform::objectstore::ObjectSchema;
using platform::objectstore::property;

void Asset::mapping(const platform::json::Map& map) {
  map("asset", symbol);
  map("free", free);
  map("locked", locked);
}

const ObjectSchema& Asset::schema() {
  static const ObjectSchema s =
      makeSchema<Asset>("Asset", primaryKey(), property("symbol", &Asset::symbol),
                        property("free", &Asset::free), property("locked", &Asset::locked));
  return s;
}

void ExchangeInfo::mapping(const platform::json::Map& map) {
  map("symbol", symbol);
  map("baseAsset", baseAsset);
  map("quoteAsset", quoteAsset);
}

const ObjectSchema& ExchangeInfo::schema() {
  static const ObjectSchema s = makeSchema<ExchangeInfo>(
      "ExchangeInfo", primaryKey(), property("symbol", &ExchangeInfo::symbol),
      property("baseAsset", &ExchangeInfo::baseAsset),
      property("quoteAsset", &ExchangeInfo::quoteAsset));
  return s;
}

void PortfolioPair::mapping(const platform::json::Map& map) {
  map("s", symbol);
  map("c", lastPrice);
  map("p", priceChange);
  map("P", priceChangePercent);
  map("q", quoteVolume);
  map("v", volume);
  map("o", openPrice);
  map("l", lowPrice);
  map("h", highPrice);
}

const ObjectSchema& PortfolioPair::schema() {
  using P = PortfolioPair;
  static const ObjectSchema s = makeSchema<P>(
      "PortfolioPair", primaryKey(), property("symbol", &P::symbol),
      property("baseAsset", &P::baseAsset), property("quoteAsset", &P::quoteAsset),
      property("lastPrice", &P::lastPrice), property("priceChange", &P::priceChange),
      property("priceChangePercent", &P::priceChangePercent), property("volume", &P::volume),
      property("quoteVolume", &P::quoteVolume), property("openPrice", &P::openPrice),
      property("highPrice", &P::highPrice), property("lowPrice", &P::lowPrice),
      property("amount", &P::amount), property("totalValue", &P::totalValue));
  return s;
}

void SpotPair::mapping(const platform::json::Map& map) {
  map("s", symbol);
  // Spot pairs are keyed in lower case whatever case the stream sends.
  if (symbol) symbol = platform::foundation::lowercased(*symbol);
  map("c", lastPrice);
  map("p", priceChange);
  map("P", priceChangePercent);
  map("v", volume);
  map("q", quoteVolume);
  map("o", openPrice);
  map("l", lowPrice);
  map("h", highPrice);
}

const ObjectSchema& SpotPair::schema() {
  using S = SpotPair;
  static const ObjectSchema s = makeSchema<S>(
      "SpotPair", primaryKey(), property("symbol", &S::symbol),
      property("lastPrice", &S::lastPrice), property("priceChange", &S::priceChange),
      property("priceChangePercent", &S::priceChangePercent), property("volume", &S::volume),
      property("quoteVolume", &S::quoteVolume), property("openPrice", &S::openPrice),
      property("highPrice", &S::highPrice), property("lowPrice", &S::lowPrice));
  return s;
}

void Pair::mapping(const platform::json::Map& map) {
  map("symbol", symbol);
  map("lastPrice", lastPrice);
  map("priceChange", priceChange);
  map("priceChangePercent", priceChangePercent);
  map("volume", volume);
  map("quoteVolume", quoteVolume);
  map("openPrice", openPrice);
  map("lowPrice", lowPrice);
  map("highPrice", highPrice);
}

const ObjectSchema& Pair::schema() {
  static const ObjectSchema s = makeSchema<Pair>(
      "Pair", primaryKey(), property("symbol", &Pair::symbol),
      property("lastPrice", &Pair::lastPrice), property("priceChange", &Pair::priceChange),
      property("priceChangePercent", &Pair::priceChangePercent), property("volume", &Pair::volume),
      property("quoteVolume", &Pair::quoteVolume), property("order", &Pair::order),
      property("openPrice", &Pair::openPrice), property("highPrice", &Pair::highPrice),
      property("lowPrice", &Pair::lowPrice));
  return s;
}

bool registerRecordTypes() {
  using platform::objectstore::registerObjectType;
  registerObjectType<Asset>();
  registerObjectType<ExchangeInfo>();
  registerObjectType<PortfolioPair>();
  registerObjectType<SpotPair>();
  registerObjectType<Pair>();
  return true;
}

}  // namespace quorvel
