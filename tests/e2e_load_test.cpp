// End-to-end load test: rounds of widget refreshes, each a burst of
// separate extension processes against one loopback exchange, one shared
// store and one snapshot suite, while the host keeps adding holdings. Every
// request must be answered, every snapshot must be one that a refresh
// produced, and no holding may be lost.
#include <gtest/gtest.h>

#include <atomic>
#include <list>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/support/loopback_server.h"
#include "tests/support/process.h"

namespace quorvel {
namespace {

using nlohmann::json;
using testing::Process;
using testing::runProcess;

TEST(LoadTest, BurstsOfRefreshesWhileTheHostKeepsAddingHoldings) {
  testing::ScopedHome home;
  const std::string answer = testing::fixture("tickers/ticker-24hr-full.json");
  testing::LoopbackServer exchange;
  std::atomic<int> served{0};
  exchange.server().Get("/api/v3/ticker/24hr", [&](const auto&, auto& res) {
    ++served;
    // Opaque bytes: the server would otherwise compress 1.2 MB per request.
    res.set_content(answer, "application/octet-stream");
  });
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", exchange.start());
  ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "BTCUSDT", "0.5"}).exitCode, 0);
  ASSERT_EQ(
      runProcess("QuorvelWidgetsExtension", {"timeline", "--kind", "QuorvelSmallWidget"}).exitCode,
      0);
  json stored = json::parse(runProcess("quorvel-host", {"snapshot", "show"}).out);
  int answered = 1;

  // The host's writer: one holding after another until told to stop.
  std::vector<std::string> symbols;
  for (const json& ticker : json::parse(answer)) {
    const std::string symbol = ticker["symbol"];
    if (symbol.ends_with("USDT") && symbol.size() > 4 && symbol != "BTCUSDT")
      symbols.push_back(symbol);
  }
  std::string expected = "BTCUSDT BTC 0.5\n";
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (size_t i = 0; i < symbols.size() && !stop; ++i) {
      const auto added =
          runProcess("quorvel-host", {"holdings", "add", symbols[i], std::to_string(i + 1)});
      EXPECT_EQ(added.exitCode, 0) << added.err;
      expected += symbols[i] + " " + symbols[i].substr(0, symbols[i].size() - 4) + " " +
                  std::to_string(i + 1) + "\n";
    }
  });

  for (int round = 0; round < 5 && !HasFailure(); ++round) {
    std::list<Process> requests;
    for (int i = 0; i < 12; ++i) {
      requests.emplace_back(
          "QuorvelWidgetsExtension",
          std::vector<std::string>{"timeline", "--kind",
                                   i % 2 ? "QuorvelMediumWidget" : "QuorvelSmallWidget", "--json",
                                   "-"});
    }
    Process reader("quorvel-host", {"snapshot", "show"});
    std::vector<json> refreshed;
    for (Process& request : requests) {
      const auto result = request.wait();
      ASSERT_EQ(result.exitCode, 0) << result.err;
      // Two lines: the request address, then the response; no failure logged.
      EXPECT_EQ(result.out.find("\"" + exchange.baseURL() + "/api/v3/ticker/24hr\"\n{"), 0u)
          << result.out;
      EXPECT_EQ(result.err, "");
      refreshed.push_back(json::parse(testing::lastLine(result.out))["entries"][0]["portfolio"]);
      EXPECT_TRUE(refreshed.back().is_object());
      ++answered;
    }
    // A snapshot read during the round is whole: the last round's, or one this round stored.
    const auto read = reader.wait();
    const json during = json::parse(read.out, nullptr, false);
    EXPECT_TRUE(during == stored || std::count(refreshed.begin(), refreshed.end(), during))
        << read.out;
    stored = json::parse(runProcess("quorvel-host", {"snapshot", "show"}).out);
    EXPECT_TRUE(std::count(refreshed.begin(), refreshed.end(), stored)) << stored;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(runProcess("quorvel-host", {"holdings", "list"}).out, expected);
  EXPECT_EQ(served.load(), answered);
}

}  // namespace
}  // namespace quorvel
