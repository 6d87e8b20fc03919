// End-to-end load test: rounds of widget refreshes, each a burst of
// separate extension processes against one loopback exchange, one shared
// store and one snapshot suite, while the host keeps adding holdings in a
// loop. Every request must be answered, every snapshot must be one that a
// refresh produced, and no holding may be lost.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "tests/support/test_support.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORVEL_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUORVEL_UNDER_SANITIZER 1
#endif
#endif

namespace quorvel {
namespace {

using nlohmann::json;
using testing::Process;
using testing::ProcessResult;
using testing::runProcess;

constexpr int kRequestsPerRound = 16;
constexpr int kSnapshotReadersPerRound = 2;
#ifdef QUORVEL_UNDER_SANITIZER
constexpr int kRounds = 5;  // each process is several times slower
#else
constexpr int kRounds = 20;
#endif
// The machine is shared with builds: once this much time has gone, no new
// round starts (after a few), so the test stays bounded however busy it is.
constexpr auto kRoundBudget = std::chrono::seconds(60);
constexpr int kMinimumRounds = 4;

struct Added {
  std::string symbol;
  std::string amount;
  ProcessResult result;
};

// USDT pairs of the recorded answer with a live price, one per base asset,
// skipping `taken`.
std::vector<std::string> liveUsdtSymbols(const std::string& answer, const std::string& taken) {
  std::vector<std::string> symbols;
  for (const json& ticker : json::parse(answer)) {
    const std::string symbol = ticker["symbol"];
    if (symbol == taken || symbol.size() <= 4 || symbol.rfind("USDT") != symbol.size() - 4)
      continue;
    if (std::stod(ticker["lastPrice"].get<std::string>()) == 0) continue;
    symbols.push_back(symbol);
  }
  return symbols;
}

// `bytes` as one gzip member, as the exchange sends its answer.
std::string gzip(const std::string& bytes) {
  z_stream stream{};
  EXPECT_EQ(
      deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY),
      Z_OK);
  std::string out(deflateBound(&stream, bytes.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

bool contains(const std::vector<json>& values, const json& value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

TEST(LoadTest, BurstsOfRefreshesWhileTheHostKeepsAddingHoldings) {
  const auto started = std::chrono::steady_clock::now();
  testing::ScopedHome home;
  const std::string answer = testing::fixture("tickers/ticker-24hr-full.json");
  // Compressed once here: left to the server, each of the concurrent
  // answers would be compressed anew, which is slower than the refreshes.
  const std::string compressed = gzip(answer);
  testing::LoopbackServer exchange;
  std::atomic<int> served{0};
  exchange.server().Get("/api/v3/ticker/24hr",
                        [&](const httplib::Request&, httplib::Response& res) {
                          ++served;
                          res.set_header("Content-Encoding", "gzip");
                          res.set_content(compressed, "application/json");
                        });
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", exchange.start());
  const std::string address = "\"" + exchange.baseURL() + "/api/v3/ticker/24hr\"";

  ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "BTCUSDT", "0.5"}).exitCode, 0);
  ASSERT_EQ(runProcess("quorvel-host", {"theme", "set", "dark"}).exitCode, 0);
  const ProcessResult first = runProcess(
      "QuorvelWidgetsExtension", {"timeline", "--kind", "QuorvelSmallWidget", "--json", "-"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  json stored = json::parse(testing::lastLine(first.out))["entries"][0]["portfolio"];
  ASSERT_TRUE(stored.is_object()) << first.out;

  // The host's writer: one holding after another until told to stop.
  const std::vector<std::string> symbols = liveUsdtSymbols(answer, "BTCUSDT");
  ASSERT_GT(symbols.size(), 100u);
  std::vector<Added> added;
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (size_t i = 0; i < symbols.size() && !stop; ++i) {
      const std::string amount = std::to_string(i + 1);
      added.push_back({symbols[i], amount,
                       runProcess("quorvel-host", {"holdings", "add", symbols[i], amount})});
    }
  });
  struct StopOnExit {
    std::atomic<bool>& stop;
    std::thread& thread;
    ~StopOnExit() {
      stop = true;
      if (thread.joinable()) thread.join();
    }
  } stopWriter{stop, writer};

  int rounds = 0;
  int answered = 0;
  std::set<std::string> distinctSnapshots;
  for (int round = 0; round < kRounds && !HasFailure(); ++round) {
    if (round >= kMinimumRounds && std::chrono::steady_clock::now() - started > kRoundBudget) break;
    ++rounds;
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<Process> requests;
    for (int i = 0; i < kRequestsPerRound; ++i) {
      requests.emplace_back(
          "QuorvelWidgetsExtension",
          std::vector<std::string>{"timeline", "--kind",
                                   i % 2 ? "QuorvelMediumWidget" : "QuorvelSmallWidget", "--json",
                                   "-", "--deadline", "30"});
    }
    std::vector<Process> readers;
    for (int i = 0; i < kSnapshotReadersPerRound; ++i) {
      readers.emplace_back("quorvel-host", std::vector<std::string>{"snapshot", "show"});
    }

    std::vector<json> refreshed;
    for (Process& request : requests) {
      const ProcessResult result = request.wait();
      ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
      EXPECT_EQ(result.err, "");
      // The one debug line is the request address: no failure was logged.
      EXPECT_EQ(result.out.substr(0, result.out.find('\n')), address) << result.out;
      EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 2) << result.out;
      const json response = json::parse(testing::lastLine(result.out));
      const json portfolio = response["entries"][0]["portfolio"];
      ASSERT_TRUE(portfolio.is_object()) << result.out;
      EXPECT_GE(portfolio["todayBalance"].get<double>(), stored["todayBalance"].get<double>())
          << "holdings only grow, so balances do too";
      refreshed.push_back(portfolio);
      ++answered;
    }
    // A snapshot read during the round is whole: the last round's or one
    // this round stored.
    for (Process& reader : readers) {
      const ProcessResult result = reader.wait();
      ASSERT_EQ(result.exitCode, 0) << result.err;
      EXPECT_EQ(result.err, "");
      const json read = json::parse(result.out);
      EXPECT_TRUE(read == stored || contains(refreshed, read)) << read;
    }
    const ProcessResult shown = runProcess("quorvel-host", {"snapshot", "show"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    stored = json::parse(shown.out);
    EXPECT_TRUE(contains(refreshed, stored)) << stored;
    distinctSnapshots.insert(stored.dump());
  }

  stop = true;
  writer.join();
  std::string expected = "BTCUSDT BTC 0.5\n";
  for (const Added& add : added) {
    EXPECT_EQ(add.result.exitCode, 0) << add.symbol << ": " << add.result.err;
    EXPECT_EQ(add.result.err, "") << add.symbol;
    expected +=
        add.symbol + " " + add.symbol.substr(0, add.symbol.size() - 4) + " " + add.amount + "\n";
  }
  const ProcessResult list = runProcess("quorvel-host", {"holdings", "list"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(list.out, expected);
  EXPECT_EQ(served.load(), 1 + answered);
  // The writer got in between the bursts: the snapshots moved on.
  EXPECT_GT(added.size(), 0u);

  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);
  std::cout << "load: " << rounds << " rounds x " << kRequestsPerRound << " refreshes (" << answered
            << " answered), " << rounds * kSnapshotReadersPerRound << " concurrent snapshot reads, "
            << added.size() << " holdings added alongside, " << distinctSnapshots.size()
            << " distinct snapshots, " << seconds.count() << " s\n";
}

}  // namespace
}  // namespace quorvel
