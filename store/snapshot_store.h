// The stored widget snapshot: the JSON of one PortfolioWidget as a data
// value under "PortfolioWidgetKey" in the app group's preference suite.
//
// Each call opens its own handle on the suite and drops it before
// returning; nothing is cached. Safe from any thread and any process: the
// suite replaces values whole, so a load sees one complete save or none.
// Failures are logged (debug lines), never returned.
#pragma once

#include <optional>
#include <string_view>

#include "store/portfolio.h"

namespace quorvel {

inline constexpr std::string_view kPortfolioWidgetKey = "PortfolioWidgetKey";

// Stores PortfolioWidget{todayBalance, yesterdayBalance}, replacing what was
// there. Waits at most a second for another process's lock on the suite,
// then logs and keeps the previous value. A total that is not finite logs
// "Unable to Encode Configs (...)" and keeps the previous value.
void savePortfolioWidget(double todayBalance, double yesterdayBalance);

// The stored snapshot, or none (nothing stored, a value of another kind, no
// suite). Bytes that do not decode log "Unable to Decode Configs (...)" and
// stay in place.
std::optional<PortfolioWidget> loadPortfolioWidget();

}  // namespace quorvel
