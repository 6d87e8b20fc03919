// WidgetManagers: the extension's worker for market data and the stored
// snapshot. It holds no state; its one instance exists to group the work.
//
// Thread rule: callable from any thread. fetchPriceChangeStatistics calls
// back on a background queue; refreshPortfolio calls back on the main queue.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/status.h"
#include "platform/objectstore/realm.h"
#include "store/portfolio.h"
#include "store/records.h"

namespace simdjson::dom {
class element;
}

namespace quorvel {

class WidgetManagers {
 public:
  // The process's one instance, created on first use (thread-safe).
  static WidgetManagers& shared();

  WidgetManagers(const WidgetManagers&) = delete;
  WidgetManagers& operator=(const WidgetManagers&) = delete;

  // (list, no error), (no list, no error) or (no list, error).
  using StatisticsCompletion = std::function<void(
      std::optional<std::vector<Pair>> tickers, std::optional<platform::foundation::Status> error)>;
  // Requests the 24-hour statistics (of one symbol, or of every symbol when
  // `symbol` is absent) and returns at once. `completion`, when given, runs
  // exactly once on a background queue. Logs the request address.
  void fetchPriceChangeStatistics(std::optional<std::string> symbol,
                                  StatisticsCompletion completion) const;

  // Either the holding lines (possibly none) or the error that stopped the
  // refresh: a store that cannot be opened or read, a failed request, or an
  // error status from the exchange.
  using RefreshCompletion =
      std::function<void(platform::foundation::Result<std::vector<Portfolio>> outcome)>;
  // Reads the holdings on the calling thread, fetches the statistics,
  // values the holdings as soon as the answer is parsed, and hands the lines
  // to `completion` on the main queue, where it runs exactly once. Returns
  // at once.
  void refreshPortfolio(RefreshCompletion completion) const;

  // Limits of the ticker request, process-wide. The host shortens the
  // time-out to fit its own deadline; tests shorten both.
  struct RequestLimits {
    std::chrono::milliseconds timeout{20000};
    size_t maxBodyBytes = 32u << 20;  // today's answer is about 2 MB
  };
  static void setRequestLimits(RequestLimits limits);
  static RequestLimits requestLimits();

  void savePortfolioWidget(double todayBalance, double yesterdayBalance) const;
  std::optional<PortfolioWidget> loadPortfolioWidget() const;

 private:
  WidgetManagers() = default;
};

// Values each holding against the exchange's answer, read straight from the
// parsed document. The tickers are the answer's elements (an array), or the
// one object it is, followed by the stablecoin rows (USDT after an array;
// USDT and USDC after an object). The first ticker whose upper-cased symbol
// equals the holding's prices it; a holding without one is left out. An
// answer that is neither, or an array with an element that is not an
// object, is no ticker list: each holding is then priced from its own
// stored texts. Holdings without a symbol or an amount are always left out.
// Linear in holdings plus tickers, with one index over the holdings.
std::vector<Portfolio> valueHoldings(const platform::objectstore::Results<PortfolioPair>& holdings,
                                     const simdjson::dom::element& answer);

}  // namespace quorvel
