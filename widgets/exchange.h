// The exchange's public REST address and the ticker answer's rules.
// Plain functions; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/status.h"
#include "store/records.h"

namespace simdjson::dom {
class element;
}

namespace quorvel {

inline constexpr std::string_view kTickerPath = "/api/v3/ticker/24hr";

// The build's default base address, replaced by QUORVEL_API_BASE_URL when
// that is set (a mirror, a loopback server, or file:///dir of a recording).
std::string apiBaseURL();

// The ticker list an answer gives: an array maps to one Pair per element
// plus the USDT row (none at all when an element is not an object); an
// object maps to that one Pair plus the USDT and USDC rows; any other value
// gives none.
std::optional<std::vector<Pair>> tickersFromAnswer(const simdjson::dom::element& root);

// Rows that price the stablecoin holdings at 1 with no change: each coin is
// its own dollar.
Pair usdtRow();
Pair usdcRow();

// An answer with an error status: the exchange's own message when its body
// is its error object ({"code":…,"msg":…}), else the status alone.
platform::foundation::Status exchangeError(long statusCode, const simdjson::dom::element* root);

// A price text's number: what parseDecimal reads from it, else 0. An absent
// text counts as "0".
double priceNumber(std::optional<std::string_view> text);

}  // namespace quorvel
