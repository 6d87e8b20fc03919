// End-to-end tests of QuorvelWidgetsExtension and quorvel-host: the built
// executables run as processes in a fresh home, with the exchange's answer
// read from a file:// recording.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using nlohmann::json;
using testing::runProcess;

// The response: the last line of standard output.
json lastJSON(const std::string& out) { return json::parse(testing::lastLine(out)); }

class WidgetsEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto recording = home_.path() / "exchange" / "api" / "v3" / "ticker";
    std::filesystem::create_directories(recording);
    std::ofstream(recording / "24hr") << testing::fixture("tickers/ticker-24hr-full.json");
  }
  std::string recordingURL() const { return "file://" + (home_.path() / "exchange").string(); }

  testing::ScopedHome home_;
};

TEST_F(WidgetsEndToEndTest, DescribeListsBothWidgets) {
  const auto result = runProcess("QuorvelWidgetsExtension", {"describe"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const json described = lastJSON(result.out);
  ASSERT_EQ(described["widgets"].size(), 2u);
  EXPECT_EQ(described["widgets"][0]["kind"], "QuorvelSmallWidget");
  EXPECT_EQ(described["widgets"][0]["families"], json::array({"systemSmall"}));
  EXPECT_EQ(described["widgets"][1]["kind"], "QuorvelMediumWidget");
  EXPECT_EQ(described["widgets"][1]["families"], json::array({"systemMedium"}));
  EXPECT_EQ(described["widgets"][0]["displayName"], "Portfolio");
}

TEST_F(WidgetsEndToEndTest, TimelineValuesHoldingsFromRecording) {
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", recordingURL());
  ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "btcusdt", "0.25"}).exitCode, 0);
  ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "ETHUSDT", "2"}).exitCode, 0);
  const auto png = home_.path() / "medium.png";
  const auto result = runProcess("QuorvelWidgetsExtension",
                                 {"timeline", "--kind", "QuorvelMediumWidget", "--json", "-",
                                  "--png", png.string(), "--scale", "1", "--deadline", "20"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const json response = lastJSON(result.out);
  EXPECT_EQ(response["request"], "timeline");
  EXPECT_EQ(response["family"], "systemMedium");
  EXPECT_EQ(response["policy"], "atEnd");
  ASSERT_EQ(response["entries"].size(), 1u);
  EXPECT_TRUE(response["entries"][0]["portfolio"].is_object());
  EXPECT_GT(response["entries"][0]["portfolio"]["todayBalance"].get<double>(), 0);
  EXPECT_GT(std::filesystem::file_size(png), 0u);

  const auto snapshot = runProcess("quorvel-host", {"snapshot", "show"});
  ASSERT_EQ(snapshot.exitCode, 0) << snapshot.err;
  EXPECT_EQ(lastJSON(snapshot.out), response["entries"][0]["portfolio"]);
}

TEST_F(WidgetsEndToEndTest, PlaceholderHasNoPortfolioAndNullPolicy) {
  const auto result = runProcess("QuorvelWidgetsExtension",
                                 {"placeholder", "--kind", "QuorvelSmallWidget", "--json", "-"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const json response = lastJSON(result.out);
  EXPECT_TRUE(response["policy"].is_null());
  EXPECT_TRUE(response["entries"][0]["portfolio"].is_null());
}

TEST_F(WidgetsEndToEndTest, BadUsageExitsTwo) {
  EXPECT_EQ(runProcess("QuorvelWidgetsExtension", {}).exitCode, 2);
  EXPECT_EQ(runProcess("QuorvelWidgetsExtension", {"timeline"}).exitCode, 2);
  EXPECT_EQ(runProcess("QuorvelWidgetsExtension", {"timeline", "--kind", "Nope"}).exitCode, 2);
  EXPECT_EQ(runProcess("QuorvelWidgetsExtension",
                       {"snapshot", "--kind", "QuorvelSmallWidget", "--scale", "9"})
                .exitCode,
            2);
}

TEST_F(WidgetsEndToEndTest, HostAddsListsAndRemovesHoldings) {
  ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "btcusdt", "0.25"}).exitCode, 0);
  ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "SOLUSDT", "15"}).exitCode, 0);
  EXPECT_EQ(runProcess("quorvel-host", {"holdings", "list"}).out,
            "btcusdt BTC 0.25\nSOLUSDT SOL 15\n");
  ASSERT_EQ(runProcess("quorvel-host", {"holdings", "remove", "btc"}).exitCode, 0);
  EXPECT_EQ(runProcess("quorvel-host", {"holdings", "list"}).out, "SOLUSDT SOL 15\n");
  EXPECT_EQ(runProcess("quorvel-host", {"holdings", "remove", "BTC"}).exitCode, 1);
}

TEST_F(WidgetsEndToEndTest, HostRejectsBadAmountsAndKeepsStoreWhole) {
  for (const char* bad : {"abc", "-1", "1e999", "nan", "2x", ""}) {
    const auto result = runProcess("quorvel-host", {"holdings", "add", "BTCUSDT", bad});
    EXPECT_EQ(result.exitCode, 2) << bad;
    EXPECT_NE(result.err.find("amount"), std::string::npos) << result.err;
  }
  const auto file = home_.path() / "import.json";
  std::ofstream(file) << R"([{"symbol":"BTCUSDT","amount":1},{"symbol":"ETHUSDT","amount":-2}])";
  const auto imported = runProcess("quorvel-host", {"holdings", "import", file.string()});
  EXPECT_EQ(imported.exitCode, 2);
  EXPECT_NE(imported.err.find("element 1"), std::string::npos) << imported.err;
  EXPECT_EQ(runProcess("quorvel-host", {"holdings", "list"}).out, "");
}

TEST_F(WidgetsEndToEndTest, HostSetsTheme) {
  ASSERT_EQ(runProcess("quorvel-host", {"theme", "set", "dark"}).exitCode, 0);
  EXPECT_EQ(runProcess("quorvel-host", {"theme", "show"}).out, "dark\n");
  EXPECT_EQ(runProcess("quorvel-host", {"theme", "set", "blue"}).exitCode, 2);
}

// The background colour the root view of a response's first entry carries.
json rootBackground(const json& response) {
  for (const auto& modifier : response["entries"][0]["view"]["modifiers"]) {
    if (modifier["type"] == "background") return modifier["color"];
  }
  return nullptr;
}

TEST_F(WidgetsEndToEndTest, SnapshotShowsNothingBeforeARefreshAndItsBalancesAfter) {
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", recordingURL());
  ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "btcusdt", "0.5"}).exitCode, 0);
  const auto before = runProcess("QuorvelWidgetsExtension",
                                 {"snapshot", "--kind", "QuorvelSmallWidget", "--json", "-"});
  ASSERT_EQ(before.exitCode, 0) << before.err;
  EXPECT_TRUE(lastJSON(before.out)["entries"][0]["portfolio"].is_null());
  EXPECT_TRUE(lastJSON(before.out)["policy"].is_null());

  const auto timeline = runProcess("QuorvelWidgetsExtension",
                                   {"timeline", "--kind", "QuorvelSmallWidget", "--json", "-"});
  ASSERT_EQ(timeline.exitCode, 0) << timeline.err;
  // The request address is the extension's debug line, quoted.
  EXPECT_EQ(timeline.out.rfind("\"" + recordingURL() + "/api/v3/ticker/24hr\"\n", 0), 0u)
      << timeline.out;
  const auto after = runProcess("QuorvelWidgetsExtension",
                                {"snapshot", "--kind", "QuorvelSmallWidget", "--json", "-"});
  const json portfolio = lastJSON(after.out)["entries"][0]["portfolio"];
  EXPECT_EQ(portfolio, (json{{"todayBalance", 0.5 * 43714.03},
                             {"yesterdayBalance", portfolio["yesterdayBalance"]}}));
  EXPECT_EQ(portfolio, lastJSON(timeline.out)["entries"][0]["portfolio"]);
}

TEST_F(WidgetsEndToEndTest, FailingRefreshLogsTheErrorAndKeepsTheSnapshot) {
  ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "btcusdt", "0.5"}).exitCode, 0);
  {
    testing::ScopedEnv api("QUORVEL_API_BASE_URL", recordingURL());
    ASSERT_EQ(runProcess("QuorvelWidgetsExtension", {"timeline", "--kind", "QuorvelSmallWidget"})
                  .exitCode,
              0);
  }
  const std::string stored = runProcess("quorvel-host", {"snapshot", "show"}).out;

  testing::LoopbackServer exchange;
  exchange.server().Get("/api/v3/ticker/24hr", [](const httplib::Request&, httplib::Response& res) {
    res.status = 451;
    res.set_content(testing::fixture("tickers/error-451-restricted-location.json"),
                    "application/octet-stream");
  });
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", exchange.start());
  const auto failed = runProcess("QuorvelWidgetsExtension",
                                 {"timeline", "--kind", "QuorvelMediumWidget", "--json", "-"});
  ASSERT_EQ(failed.exitCode, 0) << failed.err;
  const json response = lastJSON(failed.out);
  EXPECT_EQ(response["policy"], "atEnd");
  EXPECT_TRUE(response["entries"][0]["portfolio"].is_null());
  EXPECT_NE(
      failed.out.find(
          "\n\"Error price change statistics: The exchange answered with HTTP status 451: "
          "Service unavailable from a restricted location according to \\\'b. Eligibility\\\'"),
      std::string::npos)
      << failed.out;
  EXPECT_EQ(runProcess("quorvel-host", {"snapshot", "show"}).out, stored);
}

TEST_F(WidgetsEndToEndTest, ThemeSetByTheHostReachesTheView) {
  const std::vector<std::string> request{"placeholder", "--kind", "QuorvelMediumWidget", "--json",
                                         "-"};
  const json system = rootBackground(lastJSON(runProcess("QuorvelWidgetsExtension", request).out));
  EXPECT_TRUE(system.contains("dynamic")) << system;

  ASSERT_EQ(runProcess("quorvel-host", {"theme", "set", "dark"}).exitCode, 0);
  const json dark = rootBackground(lastJSON(runProcess("QuorvelWidgetsExtension", request).out));
  EXPECT_EQ(dark, (json{{"red", 0}, {"green", 0}, {"blue", 0}, {"opacity", 1}}));

  ASSERT_EQ(runProcess("quorvel-host", {"theme", "set", "light"}).exitCode, 0);
  const json light = rootBackground(lastJSON(runProcess("QuorvelWidgetsExtension", request).out));
  EXPECT_EQ(light, (json{{"red", 1}, {"green", 1}, {"blue", 1}, {"opacity", 1}}));
}

}  // namespace
}  // namespace quorvel
