// End-to-end tests of quorvel-host, the app's stand-in, run in a fresh home
// against a file:// exchange; the widget extension reads what it stored.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "tests/support/process.h"

namespace quorvel {
namespace {

using json = nlohmann::json;
using testing::runProcess;

TEST(HostEndToEndTest, HoldingsPricesAndSnapshot) {
  testing::ScopedHome home;
  const auto exchange = home.path() / "exchange";
  testing::ScopedEnv base("QUORVEL_API_BASE_URL", "file://" + exchange.string());
  // The exchange's next answer; none at all for "-".
  const auto answer = [&](const std::string& body) {
    std::filesystem::remove_all(exchange);
    if (body != "-") testing::writeFileBytes(exchange / "api/v3/ticker/24hr", body);
  };
  const std::string p = "quorvel-host: ";
  const std::string tickers = R"([{"symbol":"BTCUSDT","lastPrice":"100","priceChange":"10"},)"
                              R"({"symbol":"ETHBTC","lastPrice":"0.05","priceChange":"0"}])";
  const struct {
    std::string args;
    std::string input;  // standard input, or the exchange's next answer after "answer:"
    int exit;
    std::string out;  // the whole standard output; "json" for one JSON line
    std::string err;  // how standard error starts
  } rows[] = {
      {"snapshot show", "", 1, "",
       p + "no snapshot stored: the widgets have not refreshed a timeline yet\n"},
      {"snapshot show --json", "", 1, "", p + "no snapshot stored"},
      {"holdings add BTCUSDT 0x10", "", 2, "",
       p + R"(cannot add BTCUSDT: amount "0x10" is not a finite)"},
      {"holdings add BTCUSDT -0.5", "", 2, "", p + R"(cannot add BTCUSDT: amount "-0.5")"},
      {"holdings add BTCUSDT 1 --price -3", "", 2, "", p + R"(cannot add BTCUSDT: price "-3")"},
      {"holdings add BTCUSDT 1 --price 1e400", "", 2, "",
       p + R"(cannot add BTCUSDT: price "1e400")"},
      {"holdings add BTC-USDT 1", "", 2, "",
       p + R"(cannot add BTC-USDT: symbol "BTC-USDT" may hold only)"},
      {"holdings add BTCUSDT 0.5", "", 0, "", ""},
      {"holdings add ETHBTC 4", "", 0, "",
       p + "warning: ETHBTC: priced in BTC, not in US dollars; the widgets would count that "
           "price as dollars\n"},
      {"holdings add DOGE 1", "", 0, "", p + "warning: DOGE: no US-dollar quote asset"},
      {"holdings add DOGEFDUSD 1", "", 0, "", ""},
      {"holdings import -", R"([{"symbol":"BTCUSDT","amount":2},{"symbol":"SOLUSDT","amount":3},
          {"symbol":"BTCUSDC","amount":1}])",
       0, "",
       p + "holding 3 refused: holding 1 already has base asset BTC\n" + p +
           "imported 2 holding(s): 1 added, 1 replaced, 1 refused\n"},
      {"holdings import -", R"([{"symbol":"ADAUSDT","amount":1},7])", 2, "",
       p + "cannot import holding 2 of standard input: is not an object\n"},
      {"holdings remove DOGEFDUSD", "", 0, "", ""},
      {"holdings remove DOGE", "", 0, "", ""},
      {"holdings remove ADA", "", 1, "", p + "cannot remove ADA: there is no holding of ADA\n"},
      {"holdings list", "", 0, "BTCUSDT BTC 2\nETHBTC ETH 4\nSOLUSDT SOL 3\n", ""},
      {"holdings refresh-prices", "answer:-", 1, "json",
       p + "cannot fetch the prices: The file couldn’t be opened because it doesn’t exist.\n"},
      {"holdings refresh-prices", "answer:null", 1, "json",
       p + "cannot fetch the prices: the answer holds no ticker list\n"},
      {"holdings refresh-prices", "answer:" + tickers, 0, "json",
       p + "stored the prices of 2 holding(s)\n" + p +
           "warning: not listed by the exchange: SOLUSDT\n"},
      {"snapshot show", "", 1, "", p + "no snapshot stored"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args);
    testing::ProcessOptions options;
    if (row.input.starts_with("answer:")) {
      answer(row.input.substr(7));
    } else if (!row.input.empty()) {
      options.input = home.path() / "input";
      testing::writeFileBytes(options.input, row.input);
    }
    const auto result = runProcess("quorvel-host", testing::words(row.args), options);
    EXPECT_EQ(result.exitCode, row.exit) << result.err;
    if (row.out == "json") {
      EXPECT_TRUE(json::accept(testing::lastLine(result.out))) << result.out;
    } else {
      EXPECT_EQ(result.out, row.out);
    }
    EXPECT_TRUE(result.err.starts_with(row.err)) << result.err;
    EXPECT_EQ(result.err.empty(), row.err.empty()) << result.err;
  }
  // The exchange now answers without a ticker list: the widgets value the
  // holdings from the prices refresh-prices stored (2 BTC at 100, 4 ETHBTC
  // at 0.05), and the snapshot keeps those balances byte for byte.
  answer("null");
  const auto timeline = runProcess("QuorvelWidgetsExtension",
                                   testing::words("timeline --kind QuorvelSmallWidget --json -"));
  ASSERT_EQ(timeline.exitCode, 0) << timeline.err;
  EXPECT_EQ(json::parse(testing::lastLine(timeline.out))["entries"][0]["portfolio"].dump(),
            R"({"todayBalance":200.2,"yesterdayBalance":180.2})");
  const auto stored = runProcess("quorvel-host", testing::words("snapshot show --json"));
  EXPECT_EQ(stored.exitCode, 0);
  EXPECT_EQ(stored.out, R"({"todayBalance":200.2,"yesterdayBalance":180.2})"
                        "\n");
}

// What a newcomer reads first: help on standard output, the version, and
// usage errors in one format.
TEST(HostEndToEndTest, HelpVersionAndUsageErrors) {
  const auto help = runProcess("quorvel-host", {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.err, "");
  for (const char* part :
       {"Usage: quorvel-host [OPTIONS] SUBCOMMAND", "refresh-prices", "holdings import FILE|-",
        "QUORVEL_HOME", "XDG_DATA_HOME", "QUORVEL_API_BASE_URL", "Exit status: 0 done; 1 store"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part << "\n" << help.out;
  }
  const auto sub = runProcess("quorvel-host", testing::words("holdings import --help"));
  EXPECT_EQ(sub.exitCode, 0);
  EXPECT_NE(sub.out.find("Usage: quorvel-host holdings import [OPTIONS] FILE\n"), std::string::npos)
      << sub.out;
  const auto version = runProcess("quorvel-host", {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("[0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << version.out;
  const auto wrong = runProcess("quorvel-host", testing::words("holdings add BTCUSDT"));
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_EQ(wrong.err,
            "quorvel-host: bad command line: AMOUNT is required\n"
            "Run 'quorvel-host --help' for the usage.\n");
}

}  // namespace
}  // namespace quorvel
