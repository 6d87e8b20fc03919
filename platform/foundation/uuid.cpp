#include "platform/foundation/uuid.h"

#include <fmt/format.h>

#include <cstdint>
#include <random>

namespace platform::foundation {

std::string uuidString() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  // Version 4 in the time-high field, the RFC 4122 variant in the clock field.
  const std::uint64_t high = (generator() & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;
  const std::uint64_t low = (generator() & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;
  return fmt::format("{:08X}-{:04X}-{:04X}-{:04X}-{:012X}", high >> 32, (high >> 16) & 0xFFFF,
                     high & 0xFFFF, low >> 48, low & 0xFFFFFFFFFFFFull);
}

}  // namespace platform::foundation
