// Shared set-up of the refresh and provider tests: a temporary home with a
// real store of holdings, a loopback exchange, and a way to wait on the main
// queue. Test-only.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/objectstore/realm.h"
#include "store/records.h"
#include "store/shared_realm_configuration.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_support.h"
#include "widgets/widget_managers.h"

namespace quorvel::testing {

struct HoldingSpec {
  std::optional<std::string> symbol;
  std::optional<double> amount;
  std::optional<std::string> lastPrice = std::nullopt;
  std::optional<std::string> priceChange = std::nullopt;
};

class ExchangeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    WidgetManagers::setRequestLimits({std::chrono::milliseconds(3000), 32u << 20});
  }
  void TearDown() override { WidgetManagers::setRequestLimits({}); }

  // Stores the holdings in order; each gets its own base asset as its key.
  void storeHoldings(const std::vector<HoldingSpec>& holdings) {
    auto realm = platform::objectstore::Realm::open(sharedRealmConfiguration());
    ASSERT_OK(realm.status);
    ASSERT_OK(realm.value->write([&](platform::objectstore::Realm::WriteTransaction& tx) {
      int n = 0;
      for (const auto& holding : holdings) {
        PortfolioPair pair;
        pair.symbol = holding.symbol;
        pair.baseAsset = "ASSET" + std::to_string(n++);
        pair.amount.value = holding.amount;
        pair.lastPrice = holding.lastPrice;
        pair.priceChange = holding.priceChange;
        if (auto s = tx.add(pair); !s.ok()) return s;
      }
      return platform::foundation::Status();
    }));
  }

  // Serves `body` with `status` at the ticker path.
  std::string serve(int status, std::string body, std::string contentType = "application/json") {
    server_.server().Get("/api/v3/ticker/24hr",
                         [=](const httplib::Request&, httplib::Response& res) {
                           res.status = status;
                           res.set_content(body, contentType);
                         });
    std::string url = server_.start();
    env_.emplace("QUORVEL_API_BASE_URL", url);
    return url;
  }

  // Runs the main queue until `done` or ten seconds pass.
  bool runMainUntil(const std::function<bool()>& done) {
    return platform::foundation::runMainQueueUntil(
        done, std::chrono::steady_clock::now() + std::chrono::seconds(10));
  }

  ScopedHome home_;
  LoopbackServer server_;
  std::optional<ScopedEnv> env_;
};

}  // namespace quorvel::testing
