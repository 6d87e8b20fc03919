// INIntent and INIntentResponse: the base classes every intent definition's
// generated classes derive from.
// Instances are not synchronised: build and change one on a single thread,
// then share it read-only. Ownership: instances live behind shared
// references (the runtime creates them with std::make_shared).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/intents/coder.h"
#include "platform/intents/object_runtime.h"
#include "platform/intents/user_activity.h"

namespace platform::intents {

class INIntent : public NSObject {
 public:
  // A new intent with a fresh, unique identifier.
  INIntent();
  // Reads the identifier from the archive; a fresh one when it holds none.
  explicit INIntent(const NSCoder& coder);

  std::string_view className() const override { return "INIntent"; }

  // A UUID in its usual text form, e.g. "1F0C...-...".
  const std::string& identifier() const { return identifier_; }

  virtual void encodeWithCoder(NSCoder& coder) const;

 private:
  std::string identifier_;
};

class INIntentResponse : public NSObject {
 public:
  // No user activity.
  INIntentResponse() = default;
  // Reads the user activity from the archive; an unreadable one is dropped.
  explicit INIntentResponse(const NSCoder& coder);

  std::string_view className() const override { return "INIntentResponse"; }

  const std::optional<NSUserActivity>& userActivity() const { return userActivity_; }
  void setUserActivity(std::optional<NSUserActivity> activity) {
    userActivity_ = std::move(activity);
  }

  virtual void encodeWithCoder(NSCoder& coder) const;

 private:
  std::optional<NSUserActivity> userActivity_;
};

}  // namespace platform::intents
