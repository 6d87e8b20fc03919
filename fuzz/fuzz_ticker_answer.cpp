// Fuzz target: the bytes are an exchange's ticker answer. Whatever they are,
// reading the tickers, reading the error message and valuing the holdings
// must neither crash nor trip a sanitizer, and a valued line is always one
// of the holdings that has a symbol and an amount.
#include <simdjson.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/json_response.h"
#include "platform/objectstore/realm.h"
#include "store/portfolio.h"
#include "store/records.h"
#include "widgets/exchange.h"
#include "widgets/widget_managers.h"

namespace {

using quorvel::Portfolio;
using quorvel::PortfolioPair;

PortfolioPair holding(const char* symbol, std::optional<double> amount, const char* lastPrice,
                      const char* priceChange) {
  PortfolioPair pair;
  pair.symbol = symbol;
  pair.amount.value = amount;
  if (lastPrice) pair.lastPrice = lastPrice;
  if (priceChange) pair.priceChange = priceChange;
  return pair;
}

// Upper and lower case, the stablecoin row the answer adds, a precomposed and
// a decomposed accent, and one holding that has no amount and is never valued.
const platform::objectstore::Results<PortfolioPair>& holdings() {
  static const auto* results = new platform::objectstore::Results<PortfolioPair>(
      std::make_shared<std::vector<PortfolioPair>>(std::vector<PortfolioPair>{
          holding("BTCUSDT", 0.5, "43000.5", "-120.25"),
          holding("ethusdt", 2, "2300", "15.5"),
          holding("USDTUSDT", 1000, nullptr, nullptr),
          holding("\xC3\x89THUSDT", 3, "nan", "1e400"),
          holding("E\xCC\x81THUSDT", 1e-8, " 1", "0x10"),
          holding("bnbusdt", std::nullopt, "300", "1"),
      }));
  return *results;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Read as the product reads an answer: a byte-order mark skipped, integers
  // past 64 bits taken as doubles.
  auto document =
      platform::net::JSONDocument::parse(std::string(reinterpret_cast<const char*>(data), size));
  if (!document.ok()) return 0;
  const simdjson::dom::element root = (*document.value)->root();

  (void)quorvel::tickersFromAnswer(root);
  const auto error = quorvel::exchangeError(400, &root);
  if (error.ok()) __builtin_trap();  // an error status is never success

  const std::vector<Portfolio> lines = quorvel::valueHoldings(holdings(), root);
  // Five of the six holdings have a symbol and an amount.
  if (lines.size() > 5) __builtin_trap();
  return 0;
}
