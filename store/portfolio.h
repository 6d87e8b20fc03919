// Portfolio and PortfolioWidget: the holding line of a valuation and the
// widget snapshot, with their JSON form.
//
// JSON: one object, one member per field named exactly as the field, no
// nesting. Writing is compact UTF-8 with the members in declaration order
// and numbers in the shortest form that reads back to the same double; a
// value that is not finite cannot be written. Reading finds members by
// exact name in any order, ignores others, takes a missing or null member
// as its default (0 or empty), and fails on a member of another JSON type
// or a top level that is not an object.
//
// Plain values: copy freely, read from any thread.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "platform/foundation/status.h"

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

void PrintTo(const Portfolio& line, std::ostream* out);
void PrintTo(const PortfolioWidget& snapshot, std::ostream* out);

platform::foundation::Result<std::string> encodeJSON(const Portfolio& line);
platform::foundation::Result<std::string> encodeJSON(const PortfolioWidget& snapshot);
platform::foundation::Result<Portfolio> decodePortfolio(std::string_view json);
platform::foundation::Result<PortfolioWidget> decodePortfolioWidget(std::string_view json);

}  // namespace quorvel
