// The subtle rules of the refresh: which ticker values which holding, and
// what a fetch answers (the end-to-end tests run the timeline).
#include "widgets/widget_managers.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_support.h"
#include "widgets/exchange.h"

namespace quorvel {
namespace {

using Lines = std::vector<Portfolio>;

PortfolioPair holding(std::optional<std::string> symbol, std::optional<double> amount,
                      std::optional<std::string> price = {},
                      std::optional<std::string> change = {}) {
  PortfolioPair pair;
  pair.symbol = std::move(symbol);
  pair.amount.value = amount;
  pair.lastPrice = std::move(price);
  pair.priceChange = std::move(change);
  return pair;
}

TEST(ValueHoldingsTest, FirstTickerOfTheUpperCasedSymbolPricesEachHolding) {
  const platform::objectstore::Results<PortfolioPair> holdings(
      std::make_shared<std::vector<PortfolioPair>>(std::vector<PortfolioPair>{
          holding("btcusdt", 0.5, "30000", "-100"), holding("BTCUSDT", 1), holding("ÉthUsdt", 2),
          holding("usdtusdt", 3), holding("USDCUSDT", 4), holding("NOAMOUNT", {}, "9", "9"),
          holding({}, 6, "9", "9"), holding("ÉTHUSDT", 7, "x", " 1")}));
  const Lines stored{{"btcusdt", 0.5, 30000, -100}, {"BTCUSDT", 1, 0, 0},  {"ÉthUsdt", 2, 0, 0},
                     {"usdtusdt", 3, 0, 0},         {"USDCUSDT", 4, 0, 0}, {"ÉTHUSDT", 7, 0, 0}};
  const struct {
    std::string answer;
    Lines lines;
  } rows[] = {
      {R"([{"symbol":"BTCUSDT","lastPrice":"31000","priceChange":"-500"},
           {"symbol":"btcusdt","lastPrice":"1"},{"symbol":"NOAMOUNT","lastPrice":"9"}])",
       {{"btcusdt", 0.5, 31000, -500}, {"BTCUSDT", 1, 31000, -500}, {"usdtusdt", 3, 1, 0}}},
      {R"({"symbol":"éthusdt","lastPrice":"5","priceChange":7})",
       {{"ÉthUsdt", 2, 5, 0}, {"usdtusdt", 3, 1, 0}, {"USDCUSDT", 4, 1, 0}, {"ÉTHUSDT", 7, 5, 0}}},
      {R"([{"symbol":7,"lastPrice":"2"},{"symbol":"USDTUSDT","symbol":"x","lastPrice":"2",
           "priceChange":"1e-3"},{"symbol":"usdcusdt","lastPrice":"+1","priceChange":"0x1"}])",
       {{"usdtusdt", 3, 2, 0.001}, {"USDCUSDT", 4, 0, 0}}},
      {"[]", {{"usdtusdt", 3, 1, 0}}},
      // Not a ticker list, even once every holding has found its ticker.
      {R"([{"symbol":"BTCUSDT"},{"symbol":"ÉTHUSDT"},{"symbol":"USDTUSDT"},
           {"symbol":"USDCUSDT"},1])",
       stored},
      {"null", stored},
  };
  for (const auto& row : rows) {
    simdjson::dom::parser parser;
    EXPECT_EQ(valueHoldings(holdings, parser.parse(row.answer).value()), row.lines) << row.answer;
  }
}

TEST(FetchTest, TickersComeOnceOnABackgroundQueueWithTheSymbolEscapedAndShared) {
  const std::pair<std::string, std::optional<size_t>> rows[] = {
      {R"({"symbol":"AUSDT","lastPrice":"2"})", 3},       // the ticker, the USDT and USDC rows
      {R"([{"symbol":"AUSDT"},{"symbol":"BUSDT"}])", 3},  // the tickers and the USDT row
      {R"([{"symbol":"AUSDT"},7])", std::nullopt}};
  for (const auto& [body, count] : rows) {
    testing::LoopbackServer exchange;
    std::mutex mutex;
    std::string symbol;
    exchange.server().Get("/api/v3/ticker/24hr", [&](const auto& req, auto& res) {
      std::lock_guard lock(mutex);
      symbol = req.get_param_value("symbol");
      res.set_content(body, "application/json");
    });
    testing::ScopedEnv api("QUORVEL_API_BASE_URL", exchange.start());
    std::atomic<int> calls{0};
    std::optional<size_t> tickers;
    WidgetManagers::shared().fetchPriceChangeStatistics("A USDT&x", [&](auto list, auto error) {
      EXPECT_FALSE(platform::foundation::DispatchQueue::isMainThread());
      EXPECT_FALSE(error.has_value());
      if (list) tickers = list->size();
      ++calls;
    });
    ASSERT_TRUE(testing::waitUntil([&] { return calls.load() == 1; }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(symbol, "A USDT&x");
    EXPECT_EQ(tickers, count) << body;
  }
  // Overlapping requests for the same address share one transfer.
  testing::Gate gate;
  testing::LoopbackServer exchange;
  std::atomic<int> hits{0}, answered{0};
  exchange.server().Get("/api/v3/ticker/24hr", [&](const auto&, auto& res) {
    ++hits;
    gate.waitOpen();
    res.set_content(rows[0].first, "application/json");
  });
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", exchange.start());
  const auto count = [&](auto list, auto) { answered += list.has_value(); };
  for (int i = 0; i < 2; ++i) WidgetManagers::shared().fetchPriceChangeStatistics({}, count);
  ASSERT_TRUE(testing::waitUntil([&] { return hits.load() == 1; }));
  gate.open();
  ASSERT_TRUE(testing::waitUntil([&] { return answered.load() == 2; }));
  EXPECT_EQ(hits.load(), 1);
  testing::ScopedEnv unset("QUORVEL_API_BASE_URL", "");
  EXPECT_EQ(apiBaseURL().rfind("http", 0), 0u);  // the build's default
}

}  // namespace
}  // namespace quorvel
