#include "widgets/widget_managers.h"

#include <simdjson.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

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

using Answer = Result<std::shared_ptr<const platform::net::JSONDocument>>;

Answer answerOf(platform::net::JSONResponse response) {
  // An error status is a failure even with a JSON body: the exchange's error
  // object is not a ticker, and valuing against it would store a wrong total.
  if (response.statusCode >= 400) {
    const simdjson::dom::element root =
        response.json ? response.json->root() : simdjson::dom::element();
    return exchangeError(response.statusCode, response.json ? &root : nullptr);
  }
  if (!response.status.ok()) return response.status;
  return std::move(response.json);
}

void requestStatistics(std::optional<std::string> symbol, AnswerCompletion completion) {
  // Requests for the same address that overlap (a host reloading both
  // widgets at once) share one transfer and one parse: the answer is
  // immutable, so every waiter can value the same document.
  static auto* const mutex = new std::mutex;
  static auto* const waiting = new std::map<std::string, std::vector<AnswerCompletion>>;
  platform::net::Parameters parameters;
  if (symbol) parameters.emplace_back("symbol", *symbol);
  const std::string address = apiBaseURL() + std::string(kTickerPath);
  platform::foundation::debugPrint(platform::net::redactedURL(address));
  const std::string key = platform::net::encodeURL(address, parameters);
  {
    std::lock_guard lock(*mutex);
    auto& waiters = (*waiting)[key];
    waiters.push_back(std::move(completion));
    if (waiters.size() > 1) return;
  }
  platform::net::getJSON(address, std::move(parameters), tickerRequestOptions(),
                         [key](platform::net::JSONResponse response) {
                           std::vector<AnswerCompletion> waiters;
                           {
                             std::lock_guard lock(*mutex);
                             waiters = std::move(waiting->at(key));
                             waiting->erase(key);
                           }
                           const Answer answer = answerOf(std::move(response));
                           for (const auto& waiter : waiters) waiter(answer);
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

namespace {

// A text member of a ticker as the record mapping reads it: the first
// member of that name, kept only when it is a string.
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

bool valued(const PortfolioPair& holding) { return holding.symbol && holding.amount.value; }

std::vector<Portfolio> valuedFromStoredPrices(const Results<PortfolioPair>& holdings) {
  std::vector<Portfolio> lines;
  for (const PortfolioPair& holding : holdings) {
    if (!valued(holding)) continue;
    lines.push_back(Portfolio{*holding.symbol, *holding.amount.value,
                              priceNumber(holding.lastPrice), priceNumber(holding.priceChange)});
  }
  return lines;
}

// One slot per distinct holding key; a slot takes the prices of the first
// ticker offered for its key. Holdings are few and tickers many, so the
// index is over the holdings and each ticker costs one look-up.
class PriceSlots {
 public:
  explicit PriceSlots(const Results<PortfolioPair>& holdings)
      : holdings_(holdings), slotOfHolding_(holdings.count(), SIZE_MAX) {
    for (size_t i = 0; i < holdings.count(); ++i) {
      if (!valued(holdings[i])) continue;
      auto [it, added] = slotByKey_.try_emplace(platform::foundation::matchKey(*holdings[i].symbol),
                                                slotByKey_.size());
      slotOfHolding_[i] = it->second;
    }
    prices_.resize(slotByKey_.size());
    unfilled_ = prices_.size();
  }

  bool full() const { return unfilled_ == 0; }

  void offer(std::optional<std::string_view> symbol, std::optional<std::string_view> lastPrice,
             std::optional<std::string_view> priceChange) {
    if (!symbol) return;
    auto slot = slotByKey_.find(matchKeyInto(*symbol, key_));
    if (slot == slotByKey_.end() || prices_[slot->second].found) return;
    prices_[slot->second] = {true, priceNumber(lastPrice), priceNumber(priceChange)};
    --unfilled_;
  }
  void offer(const simdjson::dom::object& ticker) {
    offer(textMember(ticker, "symbol"), textMember(ticker, "lastPrice"),
          textMember(ticker, "priceChange"));
  }
  void offer(const Pair& row) { offer(row.symbol, row.lastPrice, row.priceChange); }

  std::vector<Portfolio> lines() const {
    std::vector<Portfolio> lines;
    for (size_t i = 0; i < holdings_.count(); ++i) {
      if (slotOfHolding_[i] == SIZE_MAX || !prices_[slotOfHolding_[i]].found) continue;
      const PortfolioPair& holding = holdings_[i];
      const Prices& p = prices_[slotOfHolding_[i]];
      lines.push_back(
          Portfolio{*holding.symbol, *holding.amount.value, p.lastPrice, p.priceChange});
    }
    return lines;
  }

 private:
  struct Prices {
    bool found = false;
    double lastPrice, priceChange;  // read only once found
  };
  const Results<PortfolioPair>& holdings_;
  std::unordered_map<std::string, size_t> slotByKey_;
  std::vector<size_t> slotOfHolding_;
  std::vector<Prices> prices_;
  size_t unfilled_ = 0;
  std::string key_;
};

}  // namespace

std::vector<Portfolio> valueHoldings(const Results<PortfolioPair>& holdings,
                                     const simdjson::dom::element& answer) {
  if (holdings.count() == 0) return {};  // whatever the answer holds
  PriceSlots slots(holdings);
  simdjson::dom::array array;
  simdjson::dom::object object;
  if (answer.get_array().get(array) == simdjson::SUCCESS) {
    for (simdjson::dom::element element : array) {
      simdjson::dom::object ticker;
      if (element.get_object().get(ticker) != simdjson::SUCCESS) {
        return valuedFromStoredPrices(holdings);
      }
      // Every element is still checked once all slots are filled: one that
      // is not a ticker voids the whole list.
      if (!slots.full()) slots.offer(ticker);
    }
    slots.offer(usdtRow());
  } else if (answer.get_object().get(object) == simdjson::SUCCESS) {
    slots.offer(object);
    slots.offer(usdtRow());
    slots.offer(usdcRow());
  } else {
    return valuedFromStoredPrices(holdings);
  }
  return slots.lines();
}

void WidgetManagers::savePortfolioWidget(double todayBalance, double yesterdayBalance) const {
  quorvel::savePortfolioWidget(todayBalance, yesterdayBalance);
}

std::optional<PortfolioWidget> WidgetManagers::loadPortfolioWidget() const {
  return quorvel::loadPortfolioWidget();
}

}  // namespace quorvel
