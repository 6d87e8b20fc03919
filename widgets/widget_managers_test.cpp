// The subtle rules of the refresh: which ticker values which holding, and
// what the timeline answers, stores and logs for each outcome.
#include "widgets/widget_managers.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <sstream>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "store/shared_realm_configuration.h"
#include "store/snapshot_store.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_support.h"
#include "widgets/exchange.h"
#include "widgets/quorvel_provider.h"

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
      {R"("BTCUSDT")", stored},
  };
  for (const auto& row : rows) {
    simdjson::dom::parser parser;
    EXPECT_EQ(valueHoldings(holdings, parser.parse(row.answer).value()), row.lines) << row.answer;
  }
}

// One timeline against an exchange answering `body` (a file:// recording),
// with the holdings `held` ("SYMBOL:AMOUNT ...") stored over a {5, 4} snapshot.
struct Refreshed {
  QuorvelProvider::Timeline timeline;
  std::string log;  // after the request address
  std::optional<PortfolioWidget> stored;
};
Refreshed refresh(const std::string& held, const std::string& body) {
  testing::ScopedHome home;
  savePortfolioWidget(5, 4);
  auto realm = platform::objectstore::Realm::open(sharedRealmConfiguration());
  EXPECT_OK(realm.value->write([&](auto& tx) {
    std::istringstream in(held);
    for (std::string item; std::getline(in, item, ' ');) {
      PortfolioPair pair =
          holding(item.substr(0, item.find(':')), std::stod(item.substr(item.find(':') + 1)));
      pair.baseAsset = item;
      if (auto added = tx.add(pair); !added.ok()) return added;
    }
    return platform::foundation::Status::okStatus();
  }));
  testing::writeFileBytes(home.path() / "api/v3/ticker/24hr", body);
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", "file://" + home.path().string());
  std::vector<QuorvelProvider::Timeline> answers;
  testing::CapturedStdout out;
  QuorvelProvider().getTimeline({}, [&](QuorvelProvider::Timeline timeline) {
    EXPECT_TRUE(platform::foundation::DispatchQueue::isMainThread());
    answers.push_back(std::move(timeline));
  });
  EXPECT_TRUE(answers.empty());  // answered later, never inside the call
  platform::foundation::runMainQueueUntil(
      [&] { return !answers.empty(); },
      std::chrono::steady_clock::now() + std::chrono::seconds(20));
  const std::string log = out.finish();
  EXPECT_EQ(answers.size(), 1u);
  answers.resize(1);
  return {answers[0], log.substr(log.find('\n') + 1), loadPortfolioWidget()};
}

TEST(TimelineTest, PolicyEntryAndSnapshotFollowTheRefreshOutcome) {
  const std::string tickers = R"([{"symbol":"AAAUSDT","lastPrice":"10","priceChange":"1.5"},
                                  {"symbol":"BBBUSDT","lastPrice":"100","priceChange":"-4"}])";
  const struct {
    std::string held, body, policy;
    std::optional<PortfolioWidget> balances;
    std::string logged = "";  // after the request address
  } rows[] = {
      {"aaausdt:2 BBBUSDT:0.5", tickers, "atEnd", PortfolioWidget{70, 69}},
      {"BBBUSDT:1 AAAUSDT:0", tickers, "atEnd", PortfolioWidget{100, 104}},
      {"UNLISTED:1", tickers, "never", {}},
      {"", tickers, "never", {}},
      {"AAAUSDT:1", "[1,", "atEnd", {}, "\"Error price change statistics: JSON could not be"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.held + " " + row.body);
    const Refreshed refreshed = refresh(row.held, row.body);
    ASSERT_EQ(refreshed.timeline.entries.size(), 1u);
    EXPECT_EQ(platform::widgetkit::policyName(refreshed.timeline.policy), row.policy);
    EXPECT_EQ(refreshed.timeline.entries[0].portfolio, row.balances);
    EXPECT_EQ(refreshed.stored, row.balances.value_or(PortfolioWidget{5, 4}));
    EXPECT_EQ(refreshed.log.substr(0, row.logged.empty() ? std::string::npos : row.logged.size()),
              row.logged);
  }
}

TEST(FetchTest, TickersComeOnceOnABackgroundQueueWithTheSymbolEscaped) {
  const std::pair<std::string, std::optional<size_t>> rows[] = {
      {R"({"symbol":"AUSDT","lastPrice":"2"})", 3},       // the ticker, the USDT and USDC rows
      {R"([{"symbol":"AUSDT"},{"symbol":"BUSDT"}])", 3},  // the tickers and the USDT row
      {R"([{"symbol":"AUSDT"},7])", std::nullopt},
      {"7", std::nullopt}};
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
  testing::ScopedEnv unset("QUORVEL_API_BASE_URL", "");
  EXPECT_EQ(apiBaseURL().rfind("http", 0), 0u);  // the build's default
}

}  // namespace
}  // namespace quorvel
