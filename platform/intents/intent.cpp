#include "platform/intents/intent.h"

#include <cstdio>

#include "platform/foundation/uuid.h"

namespace platform::intents {
namespace {

constexpr char kIdentifierKey[] = "identifier";
constexpr char kUserActivityKey[] = "userActivity";

}  // namespace

INIntent::INIntent() : identifier_(foundation::uuidString()) {}

INIntent::INIntent(const NSCoder& coder) {
  auto stored = coder.decodeString(kIdentifierKey);
  identifier_ = stored && !stored->empty() ? *stored : foundation::uuidString();
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
