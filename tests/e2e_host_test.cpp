// quorvel-host, the app's stand-in, in a fresh home against a file://
// exchange; the widget extension then reads what it stored.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/process.h"

namespace quorvel {
namespace {

TEST(HostEndToEndTest, HoldingsPricesAndSnapshot) {
  testing::ScopedHome home;
  const auto exchange = home.path() / "exchange";
  testing::ScopedEnv base("QUORVEL_API_BASE_URL", "file://" + exchange.string());
  const std::string p = "quorvel-host: ";
  const struct {
    std::string args;
    std::string input;  // standard input, or after "answer:" the exchange's (none for "-")
    int exit;
    std::string err;  // how standard error starts
  } rows[] = {
      {"snapshot show --json", "", 1, p + "no snapshot stored: the widgets have not refreshed"},
      {"holdings add BTCUSDT 0x10", "", 2, p + R"(cannot add BTCUSDT: amount "0x10" is not a)"},
      {"holdings add BTCUSDT 1 --price -3", "", 2, p + R"(cannot add BTCUSDT: price "-3")"},
      {"holdings add BTCUSDT 1 --base B@D", "", 2, p + R"(cannot add BTCUSDT: base asset "B@D")"},
      {"holdings add ETHBTC 4", "", 0,
       p + "warning: ETHBTC: priced in BTC, not in US dollars; the widgets would count"},
      {"holdings add DOGE 1", "", 0, p + "warning: DOGE: no US-dollar quote asset"},
      {"holdings add DOGEFDUSD 1 --price 0", "", 0, ""},
      {"holdings import -", R"([{"symbol":"DOGEUSDT","amount":2},{"symbol":"BTCUSDT","amount":2},
          {"symbol":"BTCUSDC","amount":1}])",
       0,
       p + "holding 3 refused: holding 2 already has base asset BTC\n" + p +
           "imported 2 holding(s): 1 added, 1 replaced, 1 refused\n"},
      {"holdings import -", R"([{"symbol":"ADAUSDT","amount":1},7])", 2,
       p + "cannot import holding 2 of standard input: is not an object\n"},
      {"holdings remove DOGEFDUSD", "", 0, ""},
      {"holdings list add", "", 2, p + "bad command line: The following argument was not expected"},
      {"snapshot show holdings list", "", 2, p + "bad command line: The following arguments were"},
      {"holdings refresh-prices", "answer:-", 1, p + "cannot fetch the prices: The file couldn’t"},
      {"holdings refresh-prices", "answer:null", 1,
       p + "cannot fetch the prices: the answer holds no ticker list\n"},
      {"holdings refresh-prices",
       R"(answer:[{"symbol":"BTCUSDT","lastPrice":"100","priceChange":"10"},)"
       R"({"symbol":"ETHBTC","lastPrice":"0.05","priceChange":"0"}])",
       0,
       p + "stored the prices of 2 holding(s)\n" + p +
           "warning: not listed by the exchange: DOGEUSDT\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args);
    testing::ProcessOptions options;
    if (row.input.starts_with("answer:")) {
      std::filesystem::remove_all(exchange);
      if (row.input != "answer:-")
        testing::writeFileBytes(exchange / "api/v3/ticker/24hr", row.input.substr(7));
    } else if (!row.input.empty()) {
      testing::writeFileBytes(options.input = home.path() / "input", row.input);
    }
    const auto result = testing::runProcess("quorvel-host", testing::words(row.args), options);
    EXPECT_EQ(result.exitCode, row.exit) << result.err;
    EXPECT_TRUE(result.err.starts_with(row.err)) << result.err;
    EXPECT_EQ(result.err.empty(), row.err.empty()) << result.err;
  }
  // The exchange's answer is null now: the widgets value the holdings from the stored prices (2 BTC
  // at 100, 4 ETHBTC at 0.05; DOGE has none), and the snapshot keeps those balances as stored.
  const auto timeline = testing::runProcess(
      "QuorvelWidgetsExtension", testing::words("timeline --kind QuorvelSmallWidget --json -"));
  EXPECT_EQ(nlohmann::json::parse(testing::lastLine(timeline.out))["entries"][0]["portfolio"],
            nlohmann::json::parse(R"({"todayBalance":200.2,"yesterdayBalance":180.2})"));
  EXPECT_EQ(testing::runProcess("quorvel-host", testing::words("snapshot show --json")).out,
            "{\"todayBalance\":200.2,\"yesterdayBalance\":180.2}\n");
}

}  // namespace
}  // namespace quorvel
