// Fuzz target: the bytes are a stored snapshot (or a holding line). Decoding
// must fail cleanly or give a value that encodes and decodes back to itself:
// whatever the widget once read, it can store again unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "store/portfolio.h"

namespace {

template <class Record, class Decode>
void roundTrip(std::string_view json, Decode decode) {
  auto first = decode(json);
  if (!first.ok()) {
    if (first.status.localizedDescription().empty()) __builtin_trap();  // errors say why
    return;
  }
  auto encoded = quorvel::encodeJSON(*first.value);
  if (!encoded.ok()) __builtin_trap();  // a decoded value is always finite
  auto second = decode(*encoded.value);
  // Equal as numbers: "-0" reads back as 0, which the widget shows alike.
  if (!second.ok() || !(*second.value == *first.value)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view json(reinterpret_cast<const char*>(data), size);
  roundTrip<quorvel::PortfolioWidget>(json, quorvel::decodePortfolioWidget);
  roundTrip<quorvel::Portfolio>(json, quorvel::decodePortfolio);
  return 0;
}
