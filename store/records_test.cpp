#include "store/records.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/shared_realm_configuration.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using platform::objectstore::Realm;
using platform::objectstore::Value;
using quorvel::testing::CapturedStdout;
using quorvel::testing::ScopedHome;

// Every stored property that holds a value, as the store would write it.
template <class T>
std::string render(const T& record) {
  std::string out;
  for (const auto& p : T::schema().properties) {
    Value v = p.get(&record);
    if (auto* s = std::get_if<std::string>(&v)) out += " " + p.name + "=" + *s;
    if (auto* d = std::get_if<double>(&v)) out += " " + p.name + "=" + std::to_string(*d);
    if (auto* i = std::get_if<std::int64_t>(&v)) out += " " + p.name + "=" + std::to_string(*i);
  }
  return out;
}

template <class T>
std::string mapped(const char* json) {
  simdjson::dom::parser parser;
  simdjson::padded_string padded{std::string_view(json)};
  return render(platform::json::mapObject<T>(parser.parse(padded).get_object().value()));
}

TEST(RecordsTest, MappingTakesTopLevelStringsByExactNameAndNothingElse) {
  const std::pair<std::string, std::string> rows[] = {
      {mapped<Pair>(R"({"symbol":"BTCUSDT","lastPrice":"1","priceChange":"-2","priceChangePercent":
           "3","volume":"4","quoteVolume":"5","openPrice":"6","highPrice":"7","lowPrice":"8"})"),
       " symbol=BTCUSDT lastPrice=1 priceChange=-2 priceChangePercent=3 volume=4 quoteVolume=5 "
       "order=0 openPrice=6 highPrice=7 lowPrice=8"},
      {mapped<Pair>(R"({"symbol":"X","symbol":"Y","lastPrice":1,"priceChange":null,"volume":true,
           "openPrice":["1"],"highPrice":{"a":"1"},"LOWPRICE":"1","n":{"lowPrice":"1"}})"),
       " symbol=X order=0"},
      {mapped<PortfolioPair>(R"({"s":"BTCUSDT","c":"1","p":"2","P":"3","v":"4","q":"5","o":"6",
           "h":"7","l":"8","symbol":"x","lastPrice":"9","baseAsset":"B","amount":2})"),
       " symbol=BTCUSDT lastPrice=1 priceChange=2 priceChangePercent=3 volume=4 quoteVolume=5 "
       "openPrice=6 highPrice=7 lowPrice=8"},
      {mapped<SpotPair>(R"({"s":"İX","c":"1","p":"2","P":"3","v":"4","q":"5","o":"6","h":"7",
           "l":"8"})"),
       " symbol=i\u0307x lastPrice=1 priceChange=2 priceChangePercent=3 volume=4 quoteVolume=5 "
       "openPrice=6 highPrice=7 lowPrice=8"},
      {mapped<SpotPair>(R"({"s":5})"), ""},
      {mapped<Asset>(R"({"symbol":"X","asset":"BTC","free":"1.5","locked":"0"})"),
       " symbol=BTC free=1.5 locked=0"},
      {mapped<ExchangeInfo>(R"({"symbol":"BTCUSDT","baseAsset":"BTC","quoteAsset":"USDT"})"),
       " symbol=BTCUSDT baseAsset=BTC quoteAsset=USDT"},
      {render(Pair(std::string("usdtusdt"), std::string("1.0"), std::string("0.0"), "-0.5")),
       " symbol=usdtusdt lastPrice=1.0 priceChange=0.0 priceChangePercent=-0.5 order=0"},
  };
  for (const auto& [actual, expected] : rows) EXPECT_EQ(actual, expected);
}

std::string sql(const std::filesystem::path& file, const std::string& statements) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  std::string rows;
  auto collect = [](void* out, int n, char** values, char**) {
    for (int i = 0; i < n; ++i) *static_cast<std::string*>(out) += values[i] ? values[i] : "-";
    *static_cast<std::string*>(out) += '\n';
    return 0;
  };
  sqlite3_exec(db, statements.c_str(), collect, &rows, nullptr);
  sqlite3_close(db);
  return rows;
}

TEST(SharedStoreTest, NewStoreHasEveryRecordTableInTheAppGroupContainer) {
  ScopedHome home;
  const auto file = home.path() / "AppGroups/group.com.tavrin.quorvel/TavrinQuorvel.realm";
  EXPECT_EQ(sharedRealmConfiguration().fileURL, file);
  EXPECT_FALSE(std::filesystem::exists(file));  // building a configuration touches no file
  CapturedStdout out;
  ASSERT_OK(Realm::open(sharedRealmConfiguration()).status);
  EXPECT_EQ(out.finish(), "");
  EXPECT_EQ(
      sql(file,
          "SELECT sql FROM sqlite_master WHERE type = 'table' ORDER BY rowid; PRAGMA user_version"),
      R"(CREATE TABLE "Asset" ("symbol" TEXT UNIQUE, "free" TEXT, "locked" TEXT)
CREATE TABLE "ExchangeInfo" ("symbol" TEXT UNIQUE, "baseAsset" TEXT, "quoteAsset" TEXT)
CREATE TABLE "PortfolioPair" ("symbol" TEXT, "baseAsset" TEXT UNIQUE, "quoteAsset" TEXT, "lastPrice" TEXT, "priceChange" TEXT, "priceChangePercent" TEXT, "volume" TEXT, "quoteVolume" TEXT, "openPrice" TEXT, "highPrice" TEXT, "lowPrice" TEXT, "amount" REAL, "totalValue" REAL)
CREATE TABLE "SpotPair" ("symbol" TEXT UNIQUE, "lastPrice" TEXT, "priceChange" TEXT, "priceChangePercent" TEXT, "volume" TEXT, "quoteVolume" TEXT, "openPrice" TEXT, "highPrice" TEXT, "lowPrice" TEXT)
CREATE TABLE "Pair" ("symbol" TEXT UNIQUE, "lastPrice" TEXT, "priceChange" TEXT, "priceChangePercent" TEXT, "volume" TEXT, "quoteVolume" TEXT, "order" INTEGER, "openPrice" TEXT, "highPrice" TEXT, "lowPrice" TEXT)
300
)");
}

TEST(SharedStoreTest, OlderStoreLogsOnceAndKeepsItsHoldingsNewerStoreFails) {
  ScopedHome home;
  const auto file = *sharedRealmConfiguration().fileURL;
  sql(file,
      "CREATE TABLE PortfolioPair (symbol TEXT, baseAsset TEXT UNIQUE, amount REAL, legacy TEXT);"
      "INSERT INTO PortfolioPair VALUES ('btcusdt', 'BTC', 0.5, 'x'); PRAGMA user_version = 299");
  CapturedStdout out;
  ASSERT_OK(Realm::open(sharedRealmConfiguration()).status);
  auto again = Realm::open(sharedRealmConfiguration());
  EXPECT_EQ(out.finish(), "\"Upgrade Realm extension schema version!!!\"\n");
  EXPECT_EQ(render((*again.value->objects<PortfolioPair>().value)[0]),
            " symbol=btcusdt baseAsset=BTC amount=0.500000");
  sql(file, "PRAGMA user_version = 301");
  EXPECT_EQ(Realm::open(sharedRealmConfiguration()).status.localizedDescription(),
            "Provided schema version 300 is less than last set version 301.");
}

TEST(SharedStoreTest, NoContainerMeansNoLocation) {
  quorvel::testing::TempDir dir;
  quorvel::testing::writeFileBytes(dir.path() / "file", "x");
  quorvel::testing::ScopedEnv env("QUORVEL_HOME", (dir.path() / "file").string());
  EXPECT_EQ(Realm::open(sharedRealmConfiguration()).status.localizedDescription(),
            "The store has no file location (the app-group container is unavailable).");
}

}  // namespace
}  // namespace quorvel
