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

namespace {

// The ticker request both callers share: logs the address, then hands over
// the parsed answer or the error that stands in for it, on a background
// queue.
using AnswerCompletion =
    std::function<void(Result<std::shared_ptr<const platform::net::JSONDocument>>)>;

void requestStatistics(std::optional<std::string> symbol, AnswerCompletion completion) {
  platform::net::Parameters parameters;
  if (symbol) parameters.emplace_back("symbol", *symbol);
  const std::string address = apiBaseURL() + std::string(kTickerPath);
  platform::foundation::debugPrint(address);
  platform::net::getJSON(
      address, std::move(parameters), tickerRequestOptions(),
      [completion = std::move(completion)](platform::net::JSONResponse response) {
        using Answer = Result<std::shared_ptr<const platform::net::JSONDocument>>;
        // An error status is a failure even with a JSON body: the exchange's
        // error object is not a ticker, and valuing against it would store
        // a wrong total.
        if (response.statusCode >= 400) {
          const simdjson::dom::element root =
              response.json ? response.json->root() : simdjson::dom::element();
          completion(Answer(exchangeError(response.statusCode, response.json ? &root : nullptr)));
          return;
        }
        if (!response.status.ok()) {
          completion(Answer(response.status));
          return;
        }
        completion(Answer(std::move(response.json)));
      });
}

}  // namespace

void WidgetManagers::fetchPriceChangeStatistics(std::optional<std::string> symbol,
                                                StatisticsCompletion completion) const {
  requestStatistics(std::move(symbol), [completion = std::move(completion)](auto answer) {
    if (!completion) return;
    if (!answer.ok()) {
      completion(std::nullopt, answer.status);
      return;
    }
    completion(tickersFromAnswer((*answer.value)->root()), std::nullopt);
  });
}

void WidgetManagers::refreshPortfolio(RefreshCompletion completion) const {
  auto fail = [&completion](Status error) {
    DispatchQueue::main().async(
        [completion = std::move(completion), error = std::move(error)] { completion(error); });
  };
  // Opened on the calling thread; the records are plain copies, so the
  // handle can go as soon as they are read.
  auto realm = Realm::open(sharedRealmConfiguration());
  if (!realm.ok()) return fail(realm.status);
  auto holdings = realm.value->objects<PortfolioPair>();
  if (!holdings.ok()) return fail(holdings.status);

  // Valued straight from the parsed answer (the same lines as through the
  // ticker list, without a copy of every ticker), on the background queue
  // so the main queue only hands the lines on.
  requestStatistics(std::nullopt, [completion = std::move(completion),
                                   holdings = std::move(*holdings.value)](auto answer) mutable {
    Result<std::vector<Portfolio>> outcome =
        answer.ok()
            ? Result<std::vector<Portfolio>>(valueHoldings(holdings, (*answer.value)->root()))
            : Result<std::vector<Portfolio>>(answer.status);
    DispatchQueue::main().async(
        [completion = std::move(completion), outcome = std::move(outcome)]() mutable {
          completion(std::move(outcome));
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

namespace {

// A text member of a ticker as the mapping reads it: the first member of
// that name, kept only when it is a string.
std::optional<std::string_view> textMember(const simdjson::dom::object& ticker,
                                           std::string_view name) {
  std::string_view text;
  if (ticker.at_key(name).get_string().get(text) != simdjson::SUCCESS) return std::nullopt;
  return text;
}

// The upper-cased form of a symbol in `buffer`, which keeps its capacity
// from one ticker to the next, so an ASCII symbol costs no allocation.
const std::string& matchKeyInto(std::string_view symbol, std::string& buffer) {
  bool ascii = true;
  for (char c : symbol) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (!ascii) return buffer = platform::foundation::matchKey(symbol);
  buffer.assign(symbol);
  for (char& c : buffer) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return buffer;
}

}  // namespace

std::vector<Portfolio> valueHoldings(const Results<PortfolioPair>& holdings,
                                     const simdjson::dom::element& answer) {
  simdjson::dom::array array;
  // A single ticker (an object) or no list at all is small work: the general
  // path gives the same lines.
  if (answer.get_array().get(array) != simdjson::SUCCESS) {
    return valueHoldings(holdings, tickersFromAnswer(answer));
  }
  if (holdings.count() == 0) return {};  // whatever the list holds

  // One slot per distinct holding key; a slot takes the prices of the first
  // ticker whose key matches. Holdings are few and tickers many, so the
  // index is over the holdings and each ticker costs one look-up.
  struct Prices {
    bool found = false;
    double lastPrice = 0;
    double priceChange = 0;
  };
  std::unordered_map<std::string, size_t> slotByKey;
  std::vector<size_t> slotOfHolding(holdings.count(), SIZE_MAX);
  for (size_t i = 0; i < holdings.count(); ++i) {
    const PortfolioPair& holding = holdings[i];
    if (!holding.symbol || !holding.amount.value) continue;
    auto [it, added] =
        slotByKey.try_emplace(platform::foundation::matchKey(*holding.symbol), slotByKey.size());
    slotOfHolding[i] = it->second;
  }
  std::vector<Prices> prices(slotByKey.size());
  size_t unfilled = prices.size();

  std::string key;
  for (simdjson::dom::element element : array) {
    simdjson::dom::object ticker;
    if (element.get_object().get(ticker) != simdjson::SUCCESS) {
      return valueHoldings(holdings, std::nullopt);
    }
    // Every element is still checked once all slots are filled: one that is
    // not a ticker voids the whole list.
    if (unfilled == 0) continue;
    const auto symbol = textMember(ticker, "symbol");
    if (!symbol) continue;
    auto slot = slotByKey.find(matchKeyInto(*symbol, key));
    if (slot == slotByKey.end() || prices[slot->second].found) continue;
    Prices& p = prices[slot->second];
    p.found = true;
    p.lastPrice = priceNumber(textMember(ticker, "lastPrice"));
    p.priceChange = priceNumber(textMember(ticker, "priceChange"));
    --unfilled;
  }
  // The stablecoin row goes after every ticker of the answer.
  const Pair usdt = usdtRow();
  if (auto slot = slotByKey.find(platform::foundation::matchKey(*usdt.symbol));
      slot != slotByKey.end() && !prices[slot->second].found) {
    prices[slot->second] = {true, priceNumber(usdt.lastPrice), priceNumber(usdt.priceChange)};
  }

  std::vector<Portfolio> lines;
  lines.reserve(holdings.count());
  for (size_t i = 0; i < holdings.count(); ++i) {
    if (slotOfHolding[i] == SIZE_MAX || !prices[slotOfHolding[i]].found) continue;
    const PortfolioPair& holding = holdings[i];
    const Prices& p = prices[slotOfHolding[i]];
    lines.push_back(Portfolio{*holding.symbol, *holding.amount.value, p.lastPrice, p.priceChange});
  }
  return lines;
}

void WidgetManagers::savePortfolioWidget(double todayBalance, double yesterdayBalance) const {
  quorvel::savePortfolioWidget(todayBalance, yesterdayBalance);
}

std::optional<PortfolioWidget> WidgetManagers::loadPortfolioWidget() const {
  return quorvel::loadPortfolioWidget();
}

}  // namespace quorvel
