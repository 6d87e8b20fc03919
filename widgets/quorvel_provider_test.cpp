#include "widgets/quorvel_provider.h"

#include <gtest/gtest.h>

#include "store/snapshot_store.h"
#include "widgets/widgets_test_support.h"

namespace quorvel {
namespace {

using platform::foundation::DispatchQueue;
using platform::widgetkit::TimelineProviderContext;
using platform::widgetkit::TimelineReloadPolicy;
using platform::widgetkit::WidgetFamily;
using quorvel::testing::CapturedStdout;
using quorvel::testing::ExchangeFixture;

const char* kTickers = R"([{"symbol":"AAAUSDT","lastPrice":"10","priceChange":"1.5"},)"
                       R"({"symbol":"BBBUSDT","lastPrice":"100","priceChange":"-4"},)"
                       R"({"symbol":"CCCUSDT","lastPrice":"2","priceChange":"0.5"}])";

class ProviderTest : public ExchangeFixture {
 protected:
  QuorvelProvider::Timeline timeline() {
    std::optional<QuorvelProvider::Timeline> result;
    bool onMain = false;
    int calls = 0;
    provider_.getTimeline(context_, [&](QuorvelProvider::Timeline t) {
      onMain = DispatchQueue::isMainThread();
      ++calls;
      result = std::move(t);
    });
    EXPECT_FALSE(result.has_value());  // answered later, never inside the call
    EXPECT_TRUE(runMainUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(result->entries.size(), 1u);
    return *result;
  }

  QuorvelProvider provider_;
  TimelineProviderContext context_ = TimelineProviderContext::forFamily(WidgetFamily::systemMedium);
};

TEST_F(ProviderTest, TimelineSumsTheLinesStoresThemAndAsksAgainAtTheEnd) {
  storeHoldings({{"aaausdt", 2}, {"BBBUSDT", 0.5}});
  serve(200, kTickers);
  auto t = timeline();
  EXPECT_EQ(t.policy, TimelineReloadPolicy::atEnd());
  EXPECT_EQ(t.entries[0].portfolio, (PortfolioWidget{70, 69}));
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{70, 69}));
}

TEST_F(ProviderTest, FallingPriceGivesAYesterdayAboveToday) {
  storeHoldings({{"CCCUSDT", 3}});
  serve(200, kTickers);
  EXPECT_EQ(timeline().entries[0].portfolio, (PortfolioWidget{6, 4.5}));
  quorvel::testing::ScopedHome other;
  storeHoldings({{"BBBUSDT", 1}});
  auto t = timeline();
  EXPECT_GT(t.entries[0].portfolio->yesterdayBalance, t.entries[0].portfolio->todayBalance);
}

TEST_F(ProviderTest, LinesThatAllHoldNothingStillStoreZeros) {
  storeHoldings({{"AAAUSDT", 0}});
  serve(200, kTickers);
  auto t = timeline();
  EXPECT_EQ(t.policy, TimelineReloadPolicy::atEnd());
  EXPECT_EQ(t.entries[0].portfolio, (PortfolioWidget{0, 0}));
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{0, 0}));
}

TEST_F(ProviderTest, NoLinesAnswerWithoutBalancesNeverAndKeepTheSnapshot) {
  savePortfolioWidget(5, 4);
  storeHoldings({{"UNLISTED", 1}});
  serve(200, kTickers);
  CapturedStdout out;
  auto t = timeline();
  EXPECT_EQ(t.policy, TimelineReloadPolicy::never());
  EXPECT_EQ(t.entries[0].portfolio, std::nullopt);
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{5, 4}));
  EXPECT_EQ(out.finish().find("Error"), std::string::npos);
}

TEST_F(ProviderTest, FailedRefreshLogsTheErrorAndKeepsTheSnapshot) {
  savePortfolioWidget(5, 4);
  storeHoldings({{"AAAUSDT", 1}});
  serve(429, quorvel::testing::fixture("tickers/error-429-rate-limit.json"));
  CapturedStdout out;
  auto t = timeline();
  std::string log = out.finish();
  EXPECT_EQ(t.policy, TimelineReloadPolicy::atEnd());
  EXPECT_EQ(t.entries[0].portfolio, std::nullopt);
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{5, 4}));
  EXPECT_NE(
      log.find(
          "\n\"Error price change statistics: The exchange answered with HTTP status 429: Too many "
          "requests; current limit is 1200 requests per minute."),
      std::string::npos)
      << log;
}

TEST_F(ProviderTest, StoreThatCannotBeOpenedStillAnswers) {
  savePortfolioWidget(5, 4);
  serve(200, kTickers);
  quorvel::testing::writeFileBytes(*sharedRealmConfiguration().fileURL, std::string(4096, 'x'));
  CapturedStdout out;
  auto t = timeline();
  std::string log = out.finish();
  EXPECT_EQ(t.policy, TimelineReloadPolicy::atEnd());
  EXPECT_EQ(t.entries[0].portfolio, std::nullopt);
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{5, 4}));
  EXPECT_EQ(log.rfind("\"Error price change statistics: The store file is not a database", 0), 0u)
      << log;
}

TEST_F(ProviderTest, EntryIsDatedWhenTheResultArrives) {
  storeHoldings({{"AAAUSDT", 1}});
  std::atomic<bool> received{false};
  std::atomic<bool> release{false};
  server_.server().Get("/api/v3/ticker/24hr", [&](const httplib::Request&, httplib::Response& res) {
    received = true;
    quorvel::testing::waitUntil([&] { return release.load(); }, std::chrono::seconds(5));
    res.set_content(kTickers, "application/json");
  });
  quorvel::testing::ScopedEnv env("QUORVEL_API_BASE_URL", server_.start());
  std::optional<QuorvelProvider::Timeline> result;
  const auto asked = std::chrono::system_clock::now();
  provider_.getTimeline(context_, [&](QuorvelProvider::Timeline t) { result = std::move(t); });
  ASSERT_TRUE(quorvel::testing::waitUntil([&] { return received.load(); }));
  const auto released = std::chrono::system_clock::now();
  release = true;
  ASSERT_TRUE(runMainUntil([&] { return result.has_value(); }));
  EXPECT_GE(result->entries[0].date, released);
  EXPECT_GT(result->entries[0].date, asked);
}

TEST_F(ProviderTest, ConcurrentTimelinesCompleteIndependently) {
  storeHoldings({{"AAAUSDT", 1}});
  serve(200, kTickers);
  constexpr int kRequests = 8;
  int answered = 0;
  for (int i = 0; i < kRequests; ++i) {
    provider_.getTimeline(context_, [&](QuorvelProvider::Timeline t) {
      EXPECT_EQ(t.entries[0].portfolio, (PortfolioWidget{10, 8.5}));
      ++answered;
    });
  }
  ASSERT_TRUE(runMainUntil([&] { return answered == kRequests; }));
}

TEST_F(ProviderTest, SnapshotShowsTheLastStoredBalancesWithoutTheNetwork) {
  std::optional<QuorvelSimpleEntry> before;
  provider_.getSnapshot(context_, [&](QuorvelSimpleEntry e) { before = e; });
  ASSERT_TRUE(before.has_value());  // answered before returning
  EXPECT_EQ(before->portfolio, std::nullopt);

  storeHoldings({{"AAAUSDT", 2}, {"BBBUSDT", 0.5}});
  serve(200, kTickers);
  timeline();
  server_.stop();  // a later failed refresh keeps what was stored
  timeline();
  std::optional<QuorvelSimpleEntry> after;
  provider_.getSnapshot(TimelineProviderContext::forFamily(WidgetFamily::systemSmall, true),
                        [&](QuorvelSimpleEntry e) { after = e; });
  EXPECT_EQ(after->portfolio, (PortfolioWidget{70, 69}));
}

TEST_F(ProviderTest, PlaceholderNeverHasBalances) {
  savePortfolioWidget(5, 4);
  EXPECT_EQ(provider_.placeholder(context_).portfolio, std::nullopt);
}

TEST(SumBalancesTest, SumsInListOrder) {
  EXPECT_EQ(sumBalances({{"a", 2, 10, 1.5}, {"b", 0.5, 100, -4}}), (PortfolioWidget{70, 69}));
  EXPECT_EQ(sumBalances({}), (PortfolioWidget{0, 0}));
}

}  // namespace
}  // namespace quorvel
