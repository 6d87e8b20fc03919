// QuorvelSimpleEntry: one timeline entry of both widgets, a plain value.
#pragma once

#include <chrono>
#include <optional>

#include "model/portfolio.h"

namespace quorvel {

struct QuorvelSimpleEntry {
  std::chrono::system_clock::time_point date;  // when the entry was built
  std::optional<PortfolioWidget> portfolio;    // absent when there is nothing to show
  friend bool operator==(const QuorvelSimpleEntry&, const QuorvelSimpleEntry&) = default;
};

}  // namespace quorvel
