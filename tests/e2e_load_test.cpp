// Bursts of widget refreshes against one loopback exchange, store and suite while the host keeps
// adding holdings: every request answered, every snapshot one a refresh produced, no holding lost.
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
using testing::runProcess;
using testing::words;

TEST(LoadTest, BurstsOfRefreshesWhileTheHostKeepsAddingHoldings) {
  testing::ScopedHome home;
  const std::string answer = testing::fixture("tickers/ticker-24hr-full.json");
  testing::LoopbackServer exchange;
  std::atomic<int> served{0};
  exchange.server().Get("/api/v3/ticker/24hr", [&](const auto&, auto& res) {
    ++served;
    res.set_content(answer, "application/octet-stream");  // not compressed per request
  });
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", exchange.start());
  const std::string refresh = "timeline --json - --kind Quorvel";
  ASSERT_EQ(runProcess("quorvel-host", words("holdings add BTCUSDT 0.5")).exitCode, 0);
  ASSERT_EQ(runProcess("QuorvelWidgetsExtension", words(refresh + "SmallWidget")).exitCode, 0);
  json stored = json::parse(runProcess("quorvel-host", words("snapshot show")).out);
  std::string listed = "BTCUSDT BTC 0.5\n";
  std::atomic<bool> stop{false};
  std::thread writer([&] {  // the host: one holding after another until told to stop
    for (const json& ticker : json::parse(answer)) {
      const std::string symbol = ticker["symbol"], base = symbol.substr(0, symbol.size() - 4);
      if (stop || !symbol.ends_with("USDT") || base.empty() || base == "BTC") continue;
      const auto added = runProcess("quorvel-host", {"holdings", "add", symbol, "2"});
      EXPECT_EQ(added.exitCode, 0) << added.err;
      listed += symbol + " " + base + " 2\n";
    }
  });
  int answered = 1;
  for (int round = 0; round < 5 && !HasFailure(); ++round) {
    std::list<testing::Process> requests;
    for (int i = 0; i < 12; ++i)
      requests.emplace_back("QuorvelWidgetsExtension",
                            words(refresh + (i % 2 ? "Small" : "Medium") + "Widget"));
    testing::Process reader("quorvel-host", words("snapshot show"));
    std::vector<json> refreshed;
    for (testing::Process& request : requests) {
      const auto result = request.wait();
      ASSERT_EQ(result.exitCode, 0) << result.err;
      // The request address, then the response: no failure was logged.
      EXPECT_EQ(result.out.find("\"" + exchange.baseURL() + "/api/v3/ticker/24hr\"\n{"), 0u);
      EXPECT_EQ(result.err, "");
      refreshed.push_back(json::parse(testing::lastLine(result.out))["entries"][0]["portfolio"]);
      ++answered;
    }
    // A snapshot read during the round is whole: the last round's, or one of this round's.
    const json during = json::parse(reader.wait().out);
    EXPECT_TRUE(during == stored || std::count(refreshed.begin(), refreshed.end(), during));
    stored = json::parse(runProcess("quorvel-host", words("snapshot show")).out);
    EXPECT_TRUE(std::count(refreshed.begin(), refreshed.end(), stored)) << stored;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(runProcess("quorvel-host", words("holdings list")).out, listed);
  EXPECT_EQ(served.load(), answered);
}

}  // namespace
}  // namespace quorvel
