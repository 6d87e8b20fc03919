// The JSON form of the holding line and the widget snapshot.
//
// JSON: one object, one member per field named exactly as the field, no
// nesting. Writing is compact UTF-8 with the members in declaration order
// and numbers in the shortest form that reads back to the same double; a
// value that is not finite cannot be written. Reading finds members by
// exact name in any order, ignores others, takes a missing or null member
// as its default (0 or empty), and fails on a member of another JSON type
// or a top level that is not an object.
#pragma once

#include <string>
#include <string_view>

#include "model/portfolio.h"
#include "platform/foundation/status.h"

namespace quorvel {

platform::foundation::Result<std::string> encodeJSON(const Portfolio& line);
platform::foundation::Result<std::string> encodeJSON(const PortfolioWidget& snapshot);
platform::foundation::Result<Portfolio> decodePortfolio(std::string_view json);
platform::foundation::Result<PortfolioWidget> decodePortfolioWidget(std::string_view json);

}  // namespace quorvel
