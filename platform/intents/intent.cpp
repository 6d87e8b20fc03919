#include "platform/intents/intent.h"

#include <cstdio>
#include <random>

namespace platform::intents {
namespace {

constexpr char kIdentifierKey[] = "identifier";
constexpr char kUserActivityKey[] = "userActivity";

// A random (version 4) UUID, upper-case as the platform prints them.
std::string makeIdentifier() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  uint64_t high = generator();
  uint64_t low = generator();
  high = (high & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;
  low = (low & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;
  char text[37];
  std::snprintf(text, sizeof(text), "%08X-%04X-%04X-%04X-%012llX",
                static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 48),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return text;
}

}  // namespace

INIntent::INIntent() : identifier_(makeIdentifier()) {}

INIntent::INIntent(const NSCoder& coder) {
  auto stored = coder.decodeString(kIdentifierKey);
  identifier_ = stored && !stored->empty() ? *stored : makeIdentifier();
}

void INIntent::encodeWithCoder(NSCoder& coder) const { coder.encode(kIdentifierKey, identifier_); }

INIntentResponse::INIntentResponse(const NSCoder& coder) {
  if (auto stored = coder.decode(kUserActivityKey)) {
    userActivity_ = userActivityFromJSON(*stored);
  }
}

void INIntentResponse::encodeWithCoder(NSCoder& coder) const {
  if (userActivity_) coder.encode(kUserActivityKey, toJSON(*userActivity_));
}

}  // namespace platform::intents
