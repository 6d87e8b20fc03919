#include "widgets/widget_managers.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <thread>

#include "widgets/exchange.h"
#include "widgets/widgets_test_support.h"

namespace quorvel {
namespace {

using platform::foundation::DispatchQueue;
using platform::foundation::Result;
using platform::foundation::Status;
using quorvel::testing::CapturedStdout;
using quorvel::testing::ExchangeFixture;
using quorvel::testing::HoldingSpec;
using quorvel::testing::LoopbackServer;

class RefreshTest : public ExchangeFixture {
 protected:
  // Runs one refresh to its end and returns its outcome.
  Result<std::vector<Portfolio>> refresh() {
    std::optional<Result<std::vector<Portfolio>>> outcome;
    bool onMain = false;
    WidgetManagers::shared().refreshPortfolio([&](Result<std::vector<Portfolio>> result) {
      onMain = DispatchQueue::isMainThread();
      outcome = std::move(result);
    });
    EXPECT_TRUE(runMainUntil([&] { return outcome.has_value(); }));
    EXPECT_TRUE(onMain);
    return outcome ? *outcome : Status::TimedOut("none");
  }
};

const char* kArray = R"([{"symbol":"ETHUSDT","lastPrice":"2200.5","priceChange":"10"},)"
                     R"({"symbol":"BTCUSDT","lastPrice":"31000","priceChange":"-500"},)"
                     R"({"symbol":"BTCUSDT","lastPrice":"1","priceChange":"1"},)"
                     R"({"symbol":"NOPRICE"},)"
                     R"({"symbol":"BADPRICE","lastPrice":" 5","priceChange":"abc"},)"
                     R"({"symbol":"USDCUSDT","lastPrice":"0.9999","priceChange":"0.0001"}])";

TEST_F(RefreshTest, WorkedExampleMatchesTickersAndTheStablecoinRow) {
  storeHoldings({{"btcusdt", 0.5}, {"USDTUSDT", 20}, {"XYZUSDT", 1}});
  serve(200, kArray);
  CapturedStdout out;
  auto outcome = refresh();
  ASSERT_OK(outcome.status);
  EXPECT_EQ(*outcome.value,
            (std::vector<Portfolio>{{"btcusdt", 0.5, 31000, -500}, {"USDTUSDT", 20, 1, 0}}));
  EXPECT_EQ(out.finish(), "\"" + server_.baseURL() + "/api/v3/ticker/24hr\"\n");
}

TEST_F(RefreshTest, MatchingIgnoresCaseKeepsStoredSymbolsAndTakesTheFirstTicker) {
  storeHoldings({{"EthUsdt", 2}, {"btcusdt", 1}, {"BTCUSDT", 3}, {"usdcusdt", 5}, {"btc", 1}});
  serve(200, kArray);
  auto outcome = refresh();
  ASSERT_OK(outcome.status);
  EXPECT_EQ(*outcome.value, (std::vector<Portfolio>{{"EthUsdt", 2, 2200.5, 10},
                                                    {"btcusdt", 1, 31000, -500},
                                                    {"BTCUSDT", 3, 31000, -500},
                                                    {"usdcusdt", 5, 0.9999, 0.0001}}));
}

TEST_F(RefreshTest, HoldingsWithoutSymbolOrAmountAreLeftOutButZeroAmountsStay) {
  storeHoldings({{std::nullopt, 1}, {"ETHUSDT", std::nullopt}, {"ETHUSDT", 0}});
  serve(200, kArray);
  auto outcome = refresh();
  ASSERT_OK(outcome.status);
  EXPECT_EQ(*outcome.value, (std::vector<Portfolio>{{"ETHUSDT", 0, 2200.5, 10}}));
}

TEST_F(RefreshTest, AbsentOrUnreadablePriceTextsCountAsZero) {
  storeHoldings({{"NOPRICE", 1}, {"BADPRICE", 2}});
  serve(200, kArray);
  auto outcome = refresh();
  ASSERT_OK(outcome.status);
  EXPECT_EQ(*outcome.value, (std::vector<Portfolio>{{"NOPRICE", 1, 0, 0}, {"BADPRICE", 2, 0, 0}}));
}

TEST_F(RefreshTest, UsdcHoldingIsLeftOutWhenTheArrayHasNoTickerForIt) {
  storeHoldings({{"USDCUSDT", 5}, {"usdtusdt", 7}});
  serve(200, R"([{"symbol":"BTCUSDT","lastPrice":"1"}])");
  auto outcome = refresh();
  ASSERT_OK(outcome.status);
  EXPECT_EQ(*outcome.value, (std::vector<Portfolio>{{"usdtusdt", 7, 1, 0}}));
}

TEST_F(RefreshTest, AnswersThatAreNotTickerListsValueHoldingsFromStoredPrices) {
  for (const char* body : {"42", R"([{"symbol":"BTCUSDT"}, 7])", R"("text")", "true", "null"}) {
    quorvel::testing::ScopedHome home;
    storeHoldings({{"btcusdt", 0.5, "30000", "-100"},
                   {"USDTUSDT", 20, "1.0", "0.0"},
                   {"XYZUSDT", 1, "x", " 1"}});
    LoopbackServer server;
    server.server().Get("/api/v3/ticker/24hr",
                        [&](const httplib::Request&, httplib::Response& res) {
                          res.set_content(body, "application/json");
                        });
    quorvel::testing::ScopedEnv env("QUORVEL_API_BASE_URL", server.start());
    auto outcome = refresh();
    ASSERT_OK(outcome.status) << body;
    EXPECT_EQ(*outcome.value,
              (std::vector<Portfolio>{
                  {"btcusdt", 0.5, 30000, -100}, {"USDTUSDT", 20, 1, 0}, {"XYZUSDT", 1, 0, 0}}))
        << body;
  }
}

TEST_F(RefreshTest, NoContentCountsAsNullAndValuesFromStoredPrices) {
  storeHoldings({{"btcusdt", 2, "10", "1"}});
  serve(204, "");
  auto outcome = refresh();
  ASSERT_OK(outcome.status);
  EXPECT_EQ(*outcome.value, (std::vector<Portfolio>{{"btcusdt", 2, 10, 1}}));
}

TEST_F(RefreshTest, ObjectAnswerIsOneTickerPlusBothStablecoinRows) {
  storeHoldings({{"ethusdt", 1}, {"USDCUSDT", 2}, {"BTCUSDT", 3}});
  serve(200, R"({"symbol":"ETHUSDT","lastPrice":"2000","priceChange":"-20"})");
  auto outcome = refresh();
  ASSERT_OK(outcome.status);
  EXPECT_EQ(*outcome.value,
            (std::vector<Portfolio>{{"ethusdt", 1, 2000, -20}, {"USDCUSDT", 2, 1, 0}}));
}

TEST_F(RefreshTest, NoHoldingsGiveAnEmptyList) {
  serve(200, kArray);
  auto outcome = refresh();
  ASSERT_OK(outcome.status);
  EXPECT_TRUE(outcome.value->empty());
}

// Transport failures (refused, stalled, over the cap) are the HTTP client's
// tests; the recorded error bodies go through the executable end to end.
TEST_F(RefreshTest, TransportAndParseFailuresComeBackAsErrors) {
  struct Row {
    int status;
    std::string body;
    std::string contains;
  };
  const Row rows[] = {
      {200, "", "zero length"},
      {200, "<html>oops</html>", "JSON could not be serialized"},
      {200, "[1,", "JSON could not be serialized"},
      {429, quorvel::testing::fixture("tickers/error-429-rate-limit.json"),
       "429: Too many requests"},
      {502, "<html>Bad Gateway</html>", "HTTP status 502."},
  };
  for (const Row& row : rows) {
    quorvel::testing::ScopedHome home;
    storeHoldings({{"USDTUSDT", 20}});
    LoopbackServer server;
    server.server().Get("/api/v3/ticker/24hr",
                        [&](const httplib::Request&, httplib::Response& res) {
                          res.status = row.status;
                          res.set_content(row.body, "application/json");
                        });
    quorvel::testing::ScopedEnv env("QUORVEL_API_BASE_URL", server.start());
    auto outcome = refresh();
    EXPECT_FALSE(outcome.ok()) << row.status << " " << row.body;
    EXPECT_NE(outcome.status.localizedDescription().find(row.contains), std::string::npos)
        << outcome.status.localizedDescription();
  }
}

TEST_F(RefreshTest, StoreThatCannotBeOpenedIsReportedWithoutARequest) {
  std::atomic<int> requests{0};
  server_.server().Get("/api/v3/ticker/24hr", [&](const httplib::Request&, httplib::Response& res) {
    ++requests;
    res.set_content("[]", "application/json");
  });
  quorvel::testing::ScopedEnv env("QUORVEL_API_BASE_URL", server_.start());
  auto file = *sharedRealmConfiguration().fileURL;
  quorvel::testing::writeFileBytes(file, std::string(2048, 'z'));
  auto outcome = refresh();
  EXPECT_EQ(outcome.status.code(), Status::Code::kCorruption);
  EXPECT_EQ(requests.load(), 0);
}

TEST_F(RefreshTest, RecordedFullAnswerPricesRealSymbols) {
  storeHoldings({{"btcusdt", 0.5}, {"ETHUSDT", 2}, {"USDTUSDT", 100}});
  // Served as opaque bytes: the test server would otherwise spend seconds
  // compressing 1.2 MB for every request.
  serve(200, quorvel::testing::fixture("tickers/ticker-24hr-full.json"),
        "application/octet-stream");
  auto outcome = refresh();
  ASSERT_OK(outcome.status);
  ASSERT_EQ(outcome.value->size(), 3u);
  EXPECT_EQ((*outcome.value)[0].price, 43714.03);
  EXPECT_EQ((*outcome.value)[2], (Portfolio{"USDTUSDT", 100, 1, 0}));
}

TEST_F(RefreshTest, FetchCallsBackOnceOnABackgroundQueue) {
  serve(200, kArray);
  std::atomic<int> calls{0};
  std::atomic<bool> onMain{true};
  std::optional<size_t> count;
  std::mutex mutex;
  WidgetManagers::shared().fetchPriceChangeStatistics(
      std::nullopt, [&](std::optional<std::vector<Pair>> tickers, std::optional<Status> error) {
        onMain = DispatchQueue::isMainThread();
        std::lock_guard lock(mutex);
        count = tickers ? tickers->size() : 0;
        EXPECT_FALSE(error.has_value());
        ++calls;
      });
  ASSERT_TRUE(quorvel::testing::waitUntil([&] { return calls.load() == 1; }));
  EXPECT_FALSE(onMain.load());
  std::lock_guard lock(mutex);
  EXPECT_EQ(count, 7u);  // six tickers and the USDT row
}

TEST_F(RefreshTest, FetchWithASymbolSendsItAsAnEscapedQuery) {
  std::mutex mutex;
  std::string query;
  server_.server().Get("/api/v3/ticker/24hr",
                       [&](const httplib::Request& req, httplib::Response& res) {
                         std::lock_guard lock(mutex);
                         query = req.get_param_value("symbol");
                         res.set_content("{}", "application/json");
                       });
  quorvel::testing::ScopedEnv env("QUORVEL_API_BASE_URL", server_.start());
  std::atomic<bool> done{false};
  WidgetManagers::shared().fetchPriceChangeStatistics("BTC USDT&x",
                                                      [&](auto, auto) { done = true; });
  ASSERT_TRUE(quorvel::testing::waitUntil([&] { return done.load(); }));
  std::lock_guard lock(mutex);
  EXPECT_EQ(query, "BTC USDT&x");
}

TEST(PriceNumberTest, FollowsTheStrtodRule) {
  struct Row {
    std::optional<std::string> text;
    double expected;
  };
  const Row rows[] = {{"1.0", 1},
                      {"0.0", 0},
                      {"-500.25", -500.25},
                      {"1e3", 1000},
                      {"43714.03000000", 43714.03},
                      {std::nullopt, 0},
                      {"", 0},
                      {" 1", 0},
                      {"1 ", 0},
                      {"\t1", 0},
                      {"1,5", 0},
                      {"abc", 0},
                      {"1.2.3", 0},
                      {std::string("1\0", 2), 0},
                      {"+7", 7},
                      {".5", 0.5},
                      {"0." + std::string(80, '0') + "1", 1e-81}};
  for (const Row& row : rows) {
    EXPECT_EQ(priceNumber(row.text), row.expected) << (row.text ? *row.text : "(absent)");
  }
}

// The refresh reads prices straight from the parsed answer; the ticker list
// is the reference it must agree with, line for line, on every answer shape.
TEST(ValueHoldingsTest, ReadingTheAnswerDirectlyAgreesWithTheTickerList) {
  auto items = std::make_shared<std::vector<PortfolioPair>>();
  for (auto [symbol, amount] :
       std::vector<std::pair<std::optional<std::string>, std::optional<double>>>{
           {"btcusdt", 0.5},
           {"BTCUSDT", 1},
           {"ÉthUsdt", 2},
           {"usdtusdt", 3},
           {"USDCUSDT", 4},
           {"ethbtc", 5},
           {"NOAMOUNT", std::nullopt},
           {std::nullopt, 6},
           {"ÉTHUSDT", 7}}) {
    PortfolioPair holding;
    holding.symbol = symbol;
    holding.amount.value = amount;
    holding.lastPrice = "9";
    items->push_back(std::move(holding));
  }
  const platform::objectstore::Results<PortfolioPair> holdings(items);
  const std::string answers[] = {
      kArray,
      quorvel::testing::fixture("tickers/ticker-24hr-full.json"),
      quorvel::testing::fixture("tickers/ticker-24hr-single.json"),
      R"([{"symbol":"BTCUSDT","symbol":"ETHBTC","lastPrice":"2"},{"symbol":"ETHBTC","lastPrice":"3"}])",
      R"([{"symbol":7,"lastPrice":"2"},{"symbol":"btcusdt","lastPrice":"1\u00002"}])",
      R"([{"symbol":"éthusdt","lastPrice":"5","priceChange":"1"},{"symbol":"USDTUSDT","lastPrice":"2"}])",
      R"([{"symbol":"BTCUSDT","lastPrice":"1"},[]])",
      R"([])",
      R"({"symbol":"ethbtc","lastPrice":"0.05"})",
      "null"};
  for (const std::string& answer : answers) {
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    ASSERT_EQ(parser.parse(answer).get(root), simdjson::SUCCESS) << answer;
    EXPECT_EQ(valueHoldings(holdings, root), valueHoldings(holdings, tickersFromAnswer(root)))
        << answer.substr(0, 200);
  }
  simdjson::dom::parser parser;
  EXPECT_EQ(valueHoldings(platform::objectstore::Results<PortfolioPair>(
                              std::make_shared<std::vector<PortfolioPair>>()),
                          parser.parse(std::string(R"([{"symbol":"A"},1])")).value()),
            std::vector<Portfolio>{});
}

}  // namespace
}  // namespace quorvel
