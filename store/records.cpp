#include "store/records.h"

#include "platform/foundation/text/unicode_text.h"

namespace quorvel {

using platform::json::Map;
using platform::objectstore::makeSchema;
using platform::objectstore::ObjectSchema;
using platform::objectstore::property;
using platform::objectstore::PropertySchema;

namespace {

// The columns of ticker record type R in their stored order, which the
// host's files fix: `leading`, the statistics with `middle` (Pair's order)
// after quoteVolume, then `trailing`.
template <class R>
ObjectSchema tickerSchema(std::string className, std::vector<PropertySchema> leading,
                          std::vector<PropertySchema> middle = {},
                          std::vector<PropertySchema> trailing = {}) {
  std::vector<PropertySchema> columns;
  auto append = [&](std::vector<PropertySchema> more) {
    for (PropertySchema& p : more) columns.push_back(std::move(p));
  };
  append(std::move(leading));
  append({property<R>("lastPrice", &R::lastPrice), property<R>("priceChange", &R::priceChange),
          property<R>("priceChangePercent", &R::priceChangePercent),
          property<R>("volume", &R::volume), property<R>("quoteVolume", &R::quoteVolume)});
  append(std::move(middle));
  append({property<R>("openPrice", &R::openPrice), property<R>("highPrice", &R::highPrice),
          property<R>("lowPrice", &R::lowPrice)});
  append(std::move(trailing));
  return ObjectSchema{std::move(className), R::primaryKey(), std::move(columns)};
}

}  // namespace

void TickerStatistics::mapStream(const Map& map) {
  map("c", lastPrice);
  map("p", priceChange);
  map("P", priceChangePercent);
  map("v", volume);
  map("q", quoteVolume);
  map("o", openPrice);
  map("l", lowPrice);
  map("h", highPrice);
}

void Asset::mapping(const Map& map) {
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

void ExchangeInfo::mapping(const Map& map) {
  map("symbol", symbol);
  map("baseAsset", baseAsset);
  map("quoteAsset", quoteAsset);
}

const ObjectSchema& ExchangeInfo::schema() {
  using E = ExchangeInfo;
  static const ObjectSchema s =
      makeSchema<E>("ExchangeInfo", primaryKey(), property("symbol", &E::symbol),
                    property("baseAsset", &E::baseAsset), property("quoteAsset", &E::quoteAsset));
  return s;
}

void PortfolioPair::mapping(const Map& map) {
  map("s", symbol);
  mapStream(map);
}

const ObjectSchema& PortfolioPair::schema() {
  using P = PortfolioPair;
  static const ObjectSchema s =
      tickerSchema<P>("PortfolioPair",
                      {property("symbol", &P::symbol), property("baseAsset", &P::baseAsset),
                       property("quoteAsset", &P::quoteAsset)},
                      {}, {property("amount", &P::amount), property("totalValue", &P::totalValue)});
  return s;
}

void SpotPair::mapping(const Map& map) {
  map("s", symbol);
  // Spot pairs are keyed in lower case whatever case the stream sends.
  if (symbol) symbol = platform::foundation::lowercased(*symbol);
  mapStream(map);
}

const ObjectSchema& SpotPair::schema() {
  static const ObjectSchema s =
      tickerSchema<SpotPair>("SpotPair", {property("symbol", &SpotPair::symbol)});
  return s;
}

void Pair::mapping(const Map& map) {
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
  static const ObjectSchema s = tickerSchema<Pair>("Pair", {property("symbol", &Pair::symbol)},
                                                   {property("order", &Pair::order)});
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
