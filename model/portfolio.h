// Portfolio and PortfolioWidget: the holding line of a valuation and the
// widget snapshot. Plain values: copy freely, read from any thread. They sit
// below both the store, which keeps them, and the views, which show them.
#pragma once

#include <ostream>
#include <string>

namespace quorvel {

// One holding line.
struct Portfolio {
  std::string symbol;      // the holding's symbol as stored, e.g. "btcusdt"
  double amount = 0;       // quantity held
  double price = 0;        // last price
  double priceChange = 0;  // absolute change over 24 hours; negative when the price fell
  friend bool operator==(const Portfolio&, const Portfolio&) = default;
};

// The widget snapshot.
struct PortfolioWidget {
  double todayBalance = 0;      // holdings valued at today's prices
  double yesterdayBalance = 0;  // the same holdings at the prices of 24 hours earlier
  friend bool operator==(const PortfolioWidget&, const PortfolioWidget&) = default;
};

inline void PrintTo(const Portfolio& line, std::ostream* out) {
  *out << "Portfolio{" << line.symbol << ", " << line.amount << ", " << line.price << ", "
       << line.priceChange << "}";
}

inline void PrintTo(const PortfolioWidget& snapshot, std::ostream* out) {
  *out << "PortfolioWidget{" << snapshot.todayBalance << ", " << snapshot.yesterdayBalance << "}";
}

}  // namespace quorvel
