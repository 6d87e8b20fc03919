#include "widgets/widget_managers.h"

#include <simdjson.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/foundation/debug_print.h"
#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/foundation/text/unicode_text.h"
#include "platform/net/http_client.h"
#include "platform/net/json_response.h"
#include "store/shared_realm_configuration.h"
#include "store/snapshot_store.h"
#include "widgets/exchange.h"

namespace quorvel {

using platform::foundation::DispatchQueue;
using platform::foundation::Result;
using platform::foundation::Status;
using platform::objectstore::Realm;
using platform::objectstore::Results;

namespace {

std::mutex& limitsMutex() {
  static std::mutex m;
  return m;
}
WidgetManagers::RequestLimits& limitsStorage() {
  static WidgetManagers::RequestLimits limits;
  return limits;
}

platform::net::RequestOptions tickerRequestOptions() {
  const auto limits = WidgetManagers::requestLimits();
  platform::net::RequestOptions options;
  options.connectTimeout = std::min(limits.timeout, options.connectTimeout);
  options.totalTimeout = limits.timeout;
  options.maxBodyBytes = limits.maxBodyBytes;
  return options;
}

}  // namespace

WidgetManagers& WidgetManagers::shared() {
  static WidgetManagers* instance = new WidgetManagers();  // lives for the process
  return *instance;
}

void WidgetManagers::setRequestLimits(RequestLimits limits) {
  std::lock_guard lock(limitsMutex());
  limitsStorage() = limits;
}

WidgetManagers::RequestLimits WidgetManagers::requestLimits() {
  std::lock_guard lock(limitsMutex());
  return limitsStorage();
}

void WidgetManagers::fetchPriceChangeStatistics(std::optional<std::string> symbol,
                                                StatisticsCompletion completion) const {
  platform::net::Parameters parameters;
  if (symbol) parameters.emplace_back("symbol", *symbol);
  const std::string address = apiBaseURL() + std::string(kTickerPath);
  platform::foundation::debugPrint(address);
  platform::net::getJSON(
      address, std::move(parameters), tickerRequestOptions(),
      [completion = std::move(completion)](platform::net::JSONResponse response) {
        if (!completion) return;
        // An error status is a failure even with a JSON body: the exchange's
        // error object is not a ticker, and valuing against it would store
        // a wrong total.
        if (response.statusCode >= 400) {
          const simdjson::dom::element root =
              response.json ? response.json->root() : simdjson::dom::element();
          completion(std::nullopt,
                     exchangeError(response.statusCode, response.json ? &root : nullptr));
          return;
        }
        if (!response.status.ok()) {
          completion(std::nullopt, response.status);
          return;
        }
        completion(tickersFromAnswer(response.json->root()), std::nullopt);
      });
}

void WidgetManagers::refreshPortfolio(RefreshCompletion completion) const {
  auto fail = [&completion](Status error) {
    DispatchQueue::main().async([completion = std::move(completion), error = std::move(error)] {
      completion(Result<std::vector<Portfolio>>::failure(error));
    });
  };
  // Opened on the calling thread; the records are plain copies, so the
  // handle can go as soon as they are read.
  auto realm = Realm::open(sharedRealmConfiguration());
  if (!realm.ok()) return fail(realm.status);
  auto holdings = realm.value->objects<PortfolioPair>();
  if (!holdings.ok()) return fail(holdings.status);

  shared().fetchPriceChangeStatistics(std::nullopt, [completion = std::move(completion),
                                                     holdings = std::move(*holdings.value)](
                                                        std::optional<std::vector<Pair>> tickers,
                                                        std::optional<Status> error) mutable {
    DispatchQueue::main().async([completion = std::move(completion), holdings = std::move(holdings),
                                 tickers = std::move(tickers), error = std::move(error)] {
      if (error) {
        completion(Result<std::vector<Portfolio>>::failure(*error));
        return;
      }
      completion(Result<std::vector<Portfolio>>::success(valueHoldings(holdings, tickers)));
    });
  });
}

std::vector<Portfolio> valueHoldings(const Results<PortfolioPair>& holdings,
                                     const std::optional<std::vector<Pair>>& tickers) {
  std::vector<Portfolio> lines;
  if (!tickers) {
    for (const PortfolioPair& holding : holdings) {
      if (!holding.symbol || !holding.amount.value) continue;
      lines.push_back(Portfolio{*holding.symbol, *holding.amount.value,
                                priceNumber(holding.lastPrice), priceNumber(holding.priceChange)});
    }
    return lines;
  }
  if (holdings.count() == 0) return lines;

  // The first ticker of each upper-cased symbol, so every holding finds its
  // match in one look-up instead of a scan of the whole list.
  std::unordered_map<std::string, const Pair*> firstBySymbol;
  firstBySymbol.reserve(tickers->size());
  for (const Pair& ticker : *tickers) {
    if (!ticker.symbol) continue;
    firstBySymbol.try_emplace(platform::foundation::matchKey(*ticker.symbol), &ticker);
  }
  lines.reserve(holdings.count());
  for (size_t i = 0; i < holdings.count(); ++i) {
    const PortfolioPair& holding = holdings[i];
    if (!holding.symbol || !holding.amount.value) continue;
    auto found = firstBySymbol.find(platform::foundation::matchKey(*holding.symbol));
    if (found == firstBySymbol.end()) continue;
    const Pair& ticker = *found->second;
    lines.push_back(Portfolio{*holding.symbol, *holding.amount.value, priceNumber(ticker.lastPrice),
                              priceNumber(ticker.priceChange)});
  }
  return lines;
}

std::vector<Portfolio> valueHoldings(const Results<PortfolioPair>& holdings,
                                     const simdjson::dom::element& answer) {
  return valueHoldings(holdings, tickersFromAnswer(answer));
}

void WidgetManagers::savePortfolioWidget(double todayBalance, double yesterdayBalance) const {
  quorvel::savePortfolioWidget(todayBalance, yesterdayBalance);
}

std::optional<PortfolioWidget> WidgetManagers::loadPortfolioWidget() const {
  return quorvel::loadPortfolioWidget();
}

}  // namespace quorvel
