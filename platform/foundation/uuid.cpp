#include "platform/foundation/uuid.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace platform::foundation {

std::string uuidString() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  // Version 4 in the time-high field, the RFC 4122 variant in the clock field.
  const std::uint64_t high = (generator() & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;
  const std::uint64_t low = (generator() & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;
  char text[37];
  std::snprintf(text, sizeof(text), "%08X-%04X-%04X-%04X-%012llX",
                static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 48),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return text;
}

}  // namespace platform::foundation
