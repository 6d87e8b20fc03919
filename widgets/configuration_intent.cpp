#include "widgets/configuration_intent.h"

#include <atomic>
#include <mutex>

namespace quorvel {
namespace {

using platform::foundation::Status;

constexpr char kCodeKey[] = "code";
constexpr std::intptr_t kLastCode =
    rawValue(ConfigurationIntentResponseCode::kFailureRequiringAppLaunch);

using ResponseFuture = std::future<std::shared_ptr<ConfigurationIntentResponse>>;

std::optional<ResponseFuture> callAsync(const ConfigurationIntentHandling::Operation& operation,
                                        std::shared_ptr<ConfigurationIntent> intent) {
  if (!operation) return std::nullopt;
  // The completion may be copied and outlive this call, so the promise and
  // its "already answered" flag are shared with it.
  struct Answer {
    std::promise<std::shared_ptr<ConfigurationIntentResponse>> promise;
    std::atomic<bool> given{false};
  };
  auto answer = std::make_shared<Answer>();
  ResponseFuture future = answer->promise.get_future();
  operation(std::move(intent), [answer](std::shared_ptr<ConfigurationIntentResponse> response) {
    if (!answer->given.exchange(true)) answer->promise.set_value(std::move(response));
  });
  return future;
}

}  // namespace

std::optional<ConfigurationIntentResponseCode> configurationIntentResponseCodeFromRawValue(
    std::intptr_t rawValue) {
  if (rawValue < 0 || rawValue > kLastCode) return std::nullopt;
  return static_cast<ConfigurationIntentResponseCode>(rawValue);
}

ConfigurationIntentResponse::ConfigurationIntentResponse(
    ConfigurationIntentResponseCode code,
    std::optional<platform::intents::NSUserActivity> userActivity)
    : ConfigurationIntentResponse() {
  code_ = code;
  setUserActivity(std::move(userActivity));
}

nlohmann::json ConfigurationIntentResponse::valueForKey(std::string_view key) const {
  if (key == kCodeKey) return rawValue(code_);
  return INIntentResponse::valueForKey(key);
}

Status ConfigurationIntentResponse::setValueForKey(std::string_view key,
                                                   const nlohmann::json& value) {
  if (key != kCodeKey) return INIntentResponse::setValueForKey(key, value);
  std::optional<ConfigurationIntentResponseCode> code;
  if (value.is_number_integer()) {
    code = configurationIntentResponseCodeFromRawValue(value.get<std::intptr_t>());
  }
  if (!code) {
    return Status::InvalidArgument("code must be a whole number from 0 to 6, not " + value.dump());
  }
  code_ = *code;
  return Status::okStatus();
}

bool ConfigurationIntentHandling::respondsToSelector(std::string_view selector) const {
  if (selector == kConfirmSelector) return static_cast<bool>(confirmConfiguration);
  if (selector == kHandleSelector) return static_cast<bool>(handleConfiguration);
  return false;
}

std::optional<ResponseFuture> ConfigurationIntentHandling::confirm(
    std::shared_ptr<ConfigurationIntent> intent) const {
  return callAsync(confirmConfiguration, std::move(intent));
}

std::optional<ResponseFuture> ConfigurationIntentHandling::handle(
    std::shared_ptr<ConfigurationIntent> intent) const {
  return callAsync(handleConfiguration, std::move(intent));
}

void registerConfigurationIntentClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    // A failure here means another class already took the name; the first
    // registration stays, exactly as the runtime keeps the first class.
    (void)platform::intents::registerClass<ConfigurationIntent>(
        std::string(ConfigurationIntent::kClassName));
    (void)platform::intents::registerClass<ConfigurationIntentResponse>(
        std::string(ConfigurationIntentResponse::kClassName));
  });
}

}  // namespace quorvel
