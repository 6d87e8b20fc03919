// The store end to end: records, the shared store file, the snapshot's JSON.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/user_defaults.h"
#include "store/records.h"
#include "store/shared_realm_configuration.h"
#include "store/snapshot_store.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using platform::foundation::UserDefaults;
using platform::objectstore::Realm;
using quorvel::testing::sql;

// The stored properties in column order, '-' for an absent value.
template <class T>
std::string render(const T& record) {
  std::string out;
  for (const auto& p : T::schema().properties) {
    auto v = p.get(&record);
    out += out.empty() ? "" : "|";
    if (auto* s = std::get_if<std::string>(&v)) out += *s;
    if (auto* d = std::get_if<double>(&v)) out += std::to_string(*d);
    if (auto* i = std::get_if<std::int64_t>(&v)) out += std::to_string(*i);
    if (v.index() == 0) out += "-";
  }
  return out;
}

template <class T>
std::string mapped(const char* json) {
  simdjson::dom::parser parser;
  simdjson::padded_string padded{std::string_view(json)};
  return render(platform::json::mapObject<T>(parser.parse(padded).get_object().value()));
}

TEST(StoreTest, RecordsMapTopLevelStringsByExactNameAndNothingElse) {
  const std::pair<std::string, std::string> rows[] = {
      {mapped<Pair>(R"({"symbol":"BTCUSDT","lastPrice":"1","priceChange":"-2","priceChangePercent":
           "3","volume":"4","quoteVolume":"5","openPrice":"6","highPrice":"7","lowPrice":"8"})"),
       "BTCUSDT|1|-2|3|4|5|0|6|7|8"},
      {mapped<PortfolioPair>(R"({"s":"BTCUSDT","c":"1","p":"2","P":"3","v":"4","q":"5","o":"6",
           "h":"7","l":"8","symbol":"x","lastPrice":"9","baseAsset":"B","amount":2})"),
       "BTCUSDT|-|-|1|2|3|4|5|6|7|8|-|-"},
      {mapped<SpotPair>(R"({"s":"İX","c":"1"})"), "i\u0307x|1|-|-|-|-|-|-|-"},
      {mapped<SpotPair>(R"({"s":5})"), "-|-|-|-|-|-|-|-|-"},
      {mapped<Asset>(R"({"symbol":"X","asset":"BTC","free":"1.5","locked":"0"})"), "BTC|1.5|0"},
      {mapped<ExchangeInfo>(R"({"symbol":"S","baseAsset":"B","quoteAsset":"Q"})"), "S|B|Q"},
      {render(Pair(std::string("usdtusdt"), std::string("1.0"), std::string("0.0"), "-0.5")),
       "usdtusdt|1.0|0.0|-0.5|-|-|0|-|-|-"},
  };
  for (const auto& [actual, expected] : rows) EXPECT_EQ(actual, expected);
}

TEST(StoreTest, SharedStoreHoldsEveryRecordTableInTheAppGroupContainer) {
  quorvel::testing::ScopedHome home;
  const auto file = home.path() / "AppGroups/group.com.tavrin.quorvel/TavrinQuorvel.realm";
  testing::CapturedStdout out;
  ASSERT_OK(Realm::open(sharedRealmConfiguration()).status);
  EXPECT_EQ(sql(file, "SELECT sql FROM sqlite_master WHERE type = 'table'; PRAGMA user_version"),
            R"(CREATE TABLE "Asset" ("symbol" TEXT UNIQUE, "free" TEXT, "locked" TEXT)
CREATE TABLE "ExchangeInfo" ("symbol" TEXT UNIQUE, "baseAsset" TEXT, "quoteAsset" TEXT)
CREATE TABLE "PortfolioPair" ("symbol" TEXT, "baseAsset" TEXT UNIQUE, "quoteAsset" TEXT, "lastPrice" TEXT, "priceChange" TEXT, "priceChangePercent" TEXT, "volume" TEXT, "quoteVolume" TEXT, "openPrice" TEXT, "highPrice" TEXT, "lowPrice" TEXT, "amount" REAL, "totalValue" REAL)
CREATE TABLE "SpotPair" ("symbol" TEXT UNIQUE, "lastPrice" TEXT, "priceChange" TEXT, "priceChangePercent" TEXT, "volume" TEXT, "quoteVolume" TEXT, "openPrice" TEXT, "highPrice" TEXT, "lowPrice" TEXT)
CREATE TABLE "Pair" ("symbol" TEXT UNIQUE, "lastPrice" TEXT, "priceChange" TEXT, "priceChangePercent" TEXT, "volume" TEXT, "quoteVolume" TEXT, "order" INTEGER, "openPrice" TEXT, "highPrice" TEXT, "lowPrice" TEXT)
300
)");
  // An older file is migrated once, with a log line.
  sql(file, "PRAGMA user_version = 299");
  ASSERT_OK(Realm::open(sharedRealmConfiguration()).status);
  ASSERT_OK(Realm::open(sharedRealmConfiguration()).status);
  EXPECT_EQ(out.finish(), "\"Upgrade Realm extension schema version!!!\"\n");
}

TEST(StoreTest, SnapshotJsonIsCompactOrderedWithShortestNumbersThatReadBack) {
  const std::pair<PortfolioWidget, std::string> rows[] = {
      {{12345.678, 12000}, R"({"todayBalance":12345.678,"yesterdayBalance":12000})"},
      {{-0.0, 1e5}, R"({"todayBalance":-0,"yesterdayBalance":1e+05})"},
      {{5e-324, 0.1 + 0.2}, R"({"todayBalance":5e-324,"yesterdayBalance":0.30000000000000004})"},
      // Past 2^63 plain digits would read back as an integer the reader refuses.
      {{9223372036854775808.0, -4.3092233720368549e+20},
       R"({"todayBalance":9.223372036854776e+18,"yesterdayBalance":-4.309223372036855e+20})"},
      {{9223372036854774784.0, -1e21},
       R"({"todayBalance":9223372036854774784,"yesterdayBalance":-1e+21})"},
  };
  for (const auto& [snapshot, bytes] : rows) {
    EXPECT_EQ(encodeJSON(snapshot).value, bytes);
    EXPECT_EQ(decodePortfolioWidget(bytes).value, snapshot);
  }
  const Portfolio line{"a\"\\\n\t\x01/é", 0.5, 31000, -500};
  const std::string bytes =
      R"({"symbol":"a\"\\\n\t\u0001/é","amount":0.5,"price":31000,"priceChange":-500})";
  EXPECT_EQ(encodeJSON(line).value, bytes);
  EXPECT_EQ(decodePortfolio(bytes).value, line);
  EXPECT_EQ(
      encodeJSON(PortfolioWidget{1, -INFINITY}).status.localizedDescription(),
      R"(invalidValue(-Double.infinity, codingPath: ["yesterdayBalance"], Unable to encode -Double.infinity directly in JSON.))");
}

TEST(StoreTest, SnapshotReadingDefaultsWhatIsMissingAndRefusesOtherTypes) {
  const std::pair<const char*, const char*> rows[] = {
      {R"( {"yesterdayBalance":2,"n":{"todayBalance":9},"todayBalance":null} )", "0.000000 2.0"},
      {R"({"todayBalance":1e2,"yesterdayBalance":18446744073709551615})", "100.000000 1844674"},
      {R"({"todayBalance":1,"yesterdayBalance":[true]})",
       R"(typeMismatch(Double, codingPath: ["yesterdayBalance"], Expected to decode Double but found an array instead.))"},
      {R"({"todayBalance":{}})", "found a dictionary instead"},
      {R"({"todayBalance":false})", "found a bool instead"},
      {"null", "codingPath: [], Expected to decode Dictionary<String, Any> but found null"},
      {"42", "found a number instead"},
      {"{", "dataCorrupted(codingPath: [], The given data was not valid JSON. (The JSON"},
      {"{\"todayBalance\":99999999999999999999,\"yesterdayBalance\":-99999999999999999999}",
       "100000000000000000000.000000 -100000000000000000000.0"},  // past 64 bits
  };
  for (const auto& [json, expected] : rows) {
    auto result = decodePortfolioWidget(json);
    EXPECT_THAT(result.ok() ? std::to_string(result.value->todayBalance) + " " +
                                  std::to_string(result.value->yesterdayBalance)
                            : result.status.localizedDescription(),
                ::testing::HasSubstr(expected));
  }
  EXPECT_EQ(
      decodePortfolio(R"({"symbol":5})").status.localizedDescription(),
      R"(typeMismatch(String, codingPath: ["symbol"], Expected to decode String but found a number instead.))");
}

UserDefaults suite() { return *UserDefaults::suite(appGroupIdentifier); }

TEST(StoreTest, SavedSnapshotsLoadBackExactly) {
  quorvel::testing::ScopedHome home;
  testing::CapturedStdout out;
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  savePortfolioWidget(12345.678, 0);
  savePortfolioWidget(NAN, 1);  // logged; the stored snapshot stays
  auto data = suite().data(kPortfolioWidgetKey);
  EXPECT_EQ(std::string(data->begin(), data->end()),
            R"({"todayBalance":12345.678,"yesterdayBalance":0})");
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{12345.678, 0}));
  // Another kind of value under the key loads as none.
  ASSERT_OK(suite().set(kPortfolioWidgetKey, UserDefaults::Data{'[', ']'}));
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  quorvel::testing::ScopedEnv noContainer("QUORVEL_HOME", suite().file().string());
  savePortfolioWidget(1, 2);
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  EXPECT_EQ(
      out.finish(),
      R"x("Unable to Encode Configs (invalidValue(Double.nan, codingPath: [\"todayBalance\"], Unable to encode Double.nan directly in JSON.))"
"Unable to Decode Configs (typeMismatch(Dictionary<String, Any>, codingPath: [], Expected to decode Dictionary<String, Any> but found an array instead.))"
)x");
}

}  // namespace
}  // namespace quorvel
