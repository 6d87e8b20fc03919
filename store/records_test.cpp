#include "store/records.h"

#include <gtest/gtest.h>

#include "platform/objectstore/realm.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

template <class T>
T mapped(const char* json) {
  simdjson::dom::parser parser;
  simdjson::padded_string padded{std::string_view(json)};
  simdjson::dom::object object = parser.parse(padded).get_object().value();
  return platform::json::mapObject<T>(object);
}

TEST(RecordsTest, PairTakesStringMembersAndLeavesTheRestAbsent) {
  auto pair = mapped<Pair>(
      R"({"symbol":"BTCUSDT","lastPrice":"43714.03","priceChange":"-500.5","count":12})");
  EXPECT_EQ(pair.symbol, "BTCUSDT");
  EXPECT_EQ(pair.lastPrice, "43714.03");
  EXPECT_EQ(pair.priceChange, "-500.5");
  EXPECT_EQ(pair.priceChangePercent, std::nullopt);
  EXPECT_EQ(pair.volume, std::nullopt);
  EXPECT_EQ(pair.quoteVolume, std::nullopt);
  EXPECT_EQ(pair.openPrice, std::nullopt);
  EXPECT_EQ(pair.highPrice, std::nullopt);
  EXPECT_EQ(pair.lowPrice, std::nullopt);
  EXPECT_EQ(pair.order, 0);
}

TEST(RecordsTest, AnyOtherJsonValueMakesTheTextAbsent) {
  for (const char* value : {"43714.03", "null", "true", "[\"1\"]", "{\"a\":\"1\"}"}) {
    std::string json = std::string(R"({"symbol":"X","lastPrice":)") + value + "}";
    auto pair = mapped<Pair>(json.c_str());
    EXPECT_EQ(pair.lastPrice, std::nullopt) << value;
    EXPECT_EQ(pair.symbol, "X") << value;
  }
}

TEST(RecordsTest, EmptyObjectGivesAllDefaults) {
  auto pair = mapped<Pair>("{}");
  EXPECT_EQ(pair.symbol, std::nullopt);
  EXPECT_EQ(pair.order, 0);
}

TEST(RecordsTest, MissingMemberKeepsWhatThePropertyHeld) {
  simdjson::dom::parser parser;
  simdjson::padded_string padded{std::string_view(R"({"lastPrice":"2"})")};
  platform::json::Map map(parser.parse(padded).get_object().value());
  Pair pair(std::string("usdtusdt"), std::string("1.0"), std::string("0.0"), std::string("0.0"));
  pair.mapping(map);
  EXPECT_EQ(pair.symbol, "usdtusdt");
  EXPECT_EQ(pair.lastPrice, "2");
}

TEST(RecordsTest, NamesAreExactAndTopLevelOnly) {
  auto pair = mapped<Pair>(R"({"Symbol":"A","LASTPRICE":"1","nested":{"symbol":"B"}})");
  EXPECT_EQ(pair.symbol, std::nullopt);
  EXPECT_EQ(pair.lastPrice, std::nullopt);
}

TEST(RecordsTest, RepeatedMemberResolvesToItsFirstOccurrence) {
  auto pair = mapped<Pair>(R"({"symbol":"FIRST","symbol":"SECOND"})");
  EXPECT_EQ(pair.symbol, "FIRST");
}

TEST(RecordsTest, PortfolioPairReadsOnlyTheSingleLetterMembers) {
  auto longNames = mapped<PortfolioPair>(R"({"symbol":"BTCUSDT","lastPrice":"1"})");
  EXPECT_EQ(longNames.symbol, std::nullopt);
  EXPECT_EQ(longNames.lastPrice, std::nullopt);

  auto stream = mapped<PortfolioPair>(
      R"({"s":"BTCUSDT","c":"1","p":"2","P":"3","v":"4","q":"5","o":"6","h":"7","l":"8"})");
  EXPECT_EQ(stream.symbol, "BTCUSDT");  // case kept
  EXPECT_EQ(stream.lastPrice, "1");
  EXPECT_EQ(stream.priceChange, "2");
  EXPECT_EQ(stream.priceChangePercent, "3");
  EXPECT_EQ(stream.volume, "4");
  EXPECT_EQ(stream.quoteVolume, "5");
  EXPECT_EQ(stream.openPrice, "6");
  EXPECT_EQ(stream.highPrice, "7");
  EXPECT_EQ(stream.lowPrice, "8");
  EXPECT_EQ(stream.baseAsset, std::nullopt);
  EXPECT_EQ(stream.amount.value, std::nullopt);
}

TEST(RecordsTest, SpotPairLowerCasesItsSymbolWithFullUnicodeRules) {
  EXPECT_EQ(mapped<SpotPair>(R"({"s":"BTCUSDT","c":"1"})").symbol, "btcusdt");
  // Dotted capital I lower-cases to i + combining dot whatever the locale.
  EXPECT_EQ(mapped<SpotPair>(R"({"s":"İX"})").symbol, "i\u0307x");
  EXPECT_EQ(mapped<SpotPair>(R"({"s":"ÉTÉ"})").symbol, "été");
  EXPECT_EQ(mapped<SpotPair>(R"({"s":5})").symbol, std::nullopt);
  EXPECT_EQ(mapped<SpotPair>("{}").symbol, std::nullopt);
}

TEST(RecordsTest, AssetTakesItsSymbolFromTheAssetMember) {
  auto asset = mapped<Asset>(R"({"symbol":"IGNORED","asset":"BTC","free":"1.5","locked":"0"})");
  EXPECT_EQ(asset.symbol, "BTC");
  EXPECT_EQ(asset.free, "1.5");
  EXPECT_EQ(asset.locked, "0");
  auto info = mapped<ExchangeInfo>(R"({"symbol":"BTCUSDT","baseAsset":"BTC","quoteAsset":"USDT"})");
  EXPECT_EQ(info.baseAsset, "BTC");
  EXPECT_EQ(info.quoteAsset, "USDT");
}

TEST(RecordsTest, FourFieldInitializerSetsOnlyThoseFour) {
  Pair pair(std::string("usdtusdt"), std::string("1.0"), std::string("0.0"), std::string("0.0"));
  EXPECT_EQ(pair.symbol, "usdtusdt");
  EXPECT_EQ(pair.lastPrice, "1.0");
  EXPECT_EQ(pair.priceChange, "0.0");
  EXPECT_EQ(pair.priceChangePercent, "0.0");
  EXPECT_EQ(pair.volume, std::nullopt);
  EXPECT_EQ(pair.highPrice, std::nullopt);
  EXPECT_EQ(pair.order, 0);
}

TEST(RecordsTest, PrimaryKeysAndStoreDeclarations) {
  EXPECT_EQ(Asset::primaryKey(), "symbol");
  EXPECT_EQ(ExchangeInfo::primaryKey(), "symbol");
  EXPECT_EQ(PortfolioPair::primaryKey(), "baseAsset");
  EXPECT_EQ(SpotPair::primaryKey(), "symbol");
  EXPECT_EQ(Pair::primaryKey(), "symbol");
  PortfolioPair fresh;
  EXPECT_EQ(fresh.amount.value, std::nullopt);
  EXPECT_EQ(fresh.totalValue.value, std::nullopt);

  std::vector<std::string> names;
  for (const auto& p : PortfolioPair::schema().properties) names.push_back(p.name);
  EXPECT_EQ(names, (std::vector<std::string>{"symbol", "baseAsset", "quoteAsset", "lastPrice",
                                             "priceChange", "priceChangePercent", "volume",
                                             "quoteVolume", "openPrice", "highPrice", "lowPrice",
                                             "amount", "totalValue"}));
  std::vector<std::string> types;
  for (const auto* schema : platform::objectstore::registeredObjectTypes())
    types.push_back(schema->className);
  EXPECT_EQ(types, (std::vector<std::string>{"Asset", "ExchangeInfo", "PortfolioPair", "SpotPair",
                                             "Pair"}));
}

}  // namespace
}  // namespace quorvel
