// The classes of the widget extension's Configuration intent definition: an
// intent without parameters, its response and response code, and the
// optional handler protocol. Both widgets are static, so nothing in the
// extension adopts the protocol; the classes exist so that the platform finds
// them under their runtime names.
// Thread rule: as the platform's intent classes (build on one thread, then
// share read-only); registerConfigurationIntentClasses() is safe from any
// thread. Ownership: instances live behind shared references.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string_view>

#include "platform/intents/intent.h"

namespace quorvel {

class ConfigurationIntent : public platform::intents::INIntent {
 public:
  static constexpr std::string_view kClassName = "ConfigurationIntent";

  ConfigurationIntent() = default;
  explicit ConfigurationIntent(const platform::intents::NSCoder& coder) : INIntent(coder) {}

  std::string_view className() const override { return kClassName; }
};

// Raw values are the platform's native integer; the meanings are the
// platform's own for every intent response code.
enum class ConfigurationIntentResponseCode : std::intptr_t {
  kUnspecified = 0,
  kReady = 1,
  kContinueInApp = 2,
  kInProgress = 3,
  kSuccess = 4,
  kFailure = 5,
  kFailureRequiringAppLaunch = 6,
};

// The code for 0...6; nothing for any other value, negative ones included.
std::optional<ConfigurationIntentResponseCode> configurationIntentResponseCodeFromRawValue(
    std::intptr_t rawValue);
constexpr std::intptr_t rawValue(ConfigurationIntentResponseCode code) {
  return static_cast<std::intptr_t>(code);
}

class ConfigurationIntentResponse : public platform::intents::INIntentResponse {
 public:
  static constexpr std::string_view kClassName = "ConfigurationIntentResponse";

  // Code 0, no user activity.
  ConfigurationIntentResponse() = default;
  // `initWithCode:userActivity:`.
  ConfigurationIntentResponse(ConfigurationIntentResponseCode code,
                              std::optional<platform::intents::NSUserActivity> userActivity);
  // Code 0; the archive is read by the base class only.
  explicit ConfigurationIntentResponse(const platform::intents::NSCoder& coder)
      : INIntentResponse(coder) {}

  std::string_view className() const override { return kClassName; }

  ConfigurationIntentResponseCode code() const { return code_; }
  void setCode(ConfigurationIntentResponseCode code) { code_ = code; }

  // The "code" property through the runtime: its raw value as a JSON number.
  // Setting anything but a whole number 0...6 is kInvalidArgument and leaves
  // the code as it was.
  nlohmann::json valueForKey(std::string_view key) const override;
  platform::foundation::Status setValueForKey(std::string_view key,
                                              const nlohmann::json& value) override;

 private:
  ConfigurationIntentResponseCode code_ = ConfigurationIntentResponseCode::kUnspecified;
};

// The handler protocol. Both operations are optional: an adopter sets the
// ones it implements. Each completion is to be called once, on any thread.
class ConfigurationIntentHandling {
 public:
  using ResponseHandler = std::function<void(std::shared_ptr<ConfigurationIntentResponse>)>;
  using Operation = std::function<void(std::shared_ptr<ConfigurationIntent>, ResponseHandler)>;

  static constexpr std::string_view kConfirmSelector = "confirmConfiguration:completion:";
  static constexpr std::string_view kHandleSelector = "handleConfiguration:completion:";

  // Callback forms; empty when the adopter does not implement them.
  Operation confirmConfiguration;
  Operation handleConfiguration;

  // True for a selector above whose operation is set.
  bool respondsToSelector(std::string_view selector) const;

  // Asynchronous forms of the same two operations: the response as a future.
  // Nothing when the operation is not implemented. The future holds a
  // broken-promise error if the adopter drops its completion uncalled; a
  // second call of the completion is ignored.
  std::optional<std::future<std::shared_ptr<ConfigurationIntentResponse>>> confirm(
      std::shared_ptr<ConfigurationIntent> intent) const;
  std::optional<std::future<std::shared_ptr<ConfigurationIntentResponse>>> handle(
      std::shared_ptr<ConfigurationIntent> intent) const;
};

// Registers ConfigurationIntent and ConfigurationIntentResponse with the
// object runtime under "ConfigurationIntent" and "ConfigurationIntentResponse".
// The widget bundle calls it at start-up; an explicit call keeps the static
// linker from dropping the classes. Idempotent.
void registerConfigurationIntentClasses();

}  // namespace quorvel
