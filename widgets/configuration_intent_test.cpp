#include "widgets/configuration_intent.h"

#include <gtest/gtest.h>

#include <thread>
#include <unordered_set>

#include "platform/intents/object_runtime.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using platform::foundation::Status;
using platform::intents::NSCoder;
using platform::intents::NSUserActivity;
using Code = ConfigurationIntentResponseCode;

TEST(ConfigurationIntentResponseTest, DefaultHasCodeZeroAndNoUserActivity) {
  ConfigurationIntentResponse response;
  EXPECT_EQ(rawValue(response.code()), 0);
  EXPECT_EQ(response.userActivity(), std::nullopt);
}

TEST(ConfigurationIntentResponseTest, CodeFiveWithoutUserActivity) {
  ConfigurationIntentResponse response(Code::kFailure, std::nullopt);
  EXPECT_EQ(rawValue(response.code()), 5);
  EXPECT_EQ(response.userActivity(), std::nullopt);
}

TEST(ConfigurationIntentResponseTest, KeepsTheGivenUserActivity) {
  NSUserActivity activity;
  activity.activityType = "com.tavrin.quorvel.configure";
  ConfigurationIntentResponse response(Code::kContinueInApp, activity);
  EXPECT_EQ(response.code(), Code::kContinueInApp);
  EXPECT_EQ(response.userActivity(), activity);
}

TEST(ConfigurationIntentResponseTest, ArchiveGivesCodeZeroAndTheBaseClassFields) {
  NSUserActivity activity;
  activity.activityType = "com.tavrin.quorvel.configure";
  ConfigurationIntentResponse original(Code::kSuccess, activity);
  NSCoder coder;
  original.encodeWithCoder(coder);
  coder.encode("code", 4);  // the response itself decodes nothing
  ConfigurationIntentResponse reread(coder);
  EXPECT_EQ(reread.code(), Code::kUnspecified);
  EXPECT_EQ(reread.userActivity(), activity);
}

TEST(ConfigurationIntentResponseTest, CodeThroughPropertyAccessors) {
  ConfigurationIntentResponse response;
  response.setCode(Code::kReady);
  EXPECT_EQ(response.valueForKey("code"), 1);
  EXPECT_OK(response.setValueForKey("code", 6));
  EXPECT_EQ(response.code(), Code::kFailureRequiringAppLaunch);
}

TEST(ConfigurationIntentResponseTest, PropertyAccessorRefusesValuesThatAreNoCode) {
  ConfigurationIntentResponse response(Code::kInProgress, std::nullopt);
  for (const nlohmann::json& value : {nlohmann::json(7), nlohmann::json(-1), nlohmann::json(2.5),
                                      nlohmann::json("1"), nlohmann::json(nullptr)}) {
    Status status = response.setValueForKey("code", value);
    EXPECT_EQ(status.code(), Status::Code::kInvalidArgument) << value.dump();
    EXPECT_EQ(status.localizedDescription(),
              "code must be a whole number from 0 to 6, not " + value.dump());
    EXPECT_EQ(response.code(), Code::kInProgress) << value.dump();
  }
  EXPECT_EQ(response.setValueForKey("other", 1).code(), Status::Code::kNotFound);
}

TEST(ConfigurationIntentResponseCodeTest, RawValuesZeroToSixAreCodes) {
  for (std::intptr_t raw = 0; raw <= 6; ++raw) {
    auto code = configurationIntentResponseCodeFromRawValue(raw);
    ASSERT_TRUE(code.has_value()) << raw;
    EXPECT_EQ(rawValue(*code), raw);
  }
}

TEST(ConfigurationIntentResponseCodeTest, OtherRawValuesAreNoCode) {
  for (std::intptr_t raw : {std::intptr_t{7}, std::intptr_t{-1}, INTPTR_MIN, INTPTR_MAX}) {
    EXPECT_EQ(configurationIntentResponseCodeFromRawValue(raw), std::nullopt) << raw;
  }
}

TEST(ConfigurationIntentResponseCodeTest, EqualityAndHashingFollowTheRawValue) {
  std::unordered_set<Code> codes;
  for (std::intptr_t raw : {0, 5, 5, 6, 0})
    codes.insert(*configurationIntentResponseCodeFromRawValue(raw));
  EXPECT_EQ(codes.size(), 3u);
  EXPECT_EQ(*configurationIntentResponseCodeFromRawValue(4), Code::kSuccess);
}

TEST(ConfigurationIntentTest, ArchiveHandsOverToTheBaseClass) {
  ConfigurationIntent original;
  NSCoder coder;
  original.encodeWithCoder(coder);
  EXPECT_EQ(ConfigurationIntent(coder).identifier(), original.identifier());
}

TEST(ConfigurationIntentRegistrationTest, ClassesAreFoundUnderTheirPlainNames) {
  registerConfigurationIntentClasses();
  registerConfigurationIntentClasses();  // a second call changes nothing
  EXPECT_TRUE(platform::intents::isClassRegistered("ConfigurationIntent"));
  EXPECT_TRUE(platform::intents::isClassRegistered("ConfigurationIntentResponse"));
  EXPECT_FALSE(platform::intents::isClassRegistered("QuorvelWidgetsExtension.ConfigurationIntent"));

  auto intent = platform::intents::createInstanceOf<ConfigurationIntent>("ConfigurationIntent");
  ASSERT_NE(intent, nullptr);
  EXPECT_EQ(intent->className(), "ConfigurationIntent");

  auto response = platform::intents::createInstanceOf<ConfigurationIntentResponse>(
      "ConfigurationIntentResponse");
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response->code(), Code::kUnspecified);
  EXPECT_EQ(response->userActivity(), std::nullopt);
}

TEST(ConfigurationIntentRegistrationTest, ResponseFromAnArchiveByName) {
  registerConfigurationIntentClasses();
  NSUserActivity activity;
  activity.activityType = "com.tavrin.quorvel.configure";
  NSCoder coder;
  ConfigurationIntentResponse(Code::kFailure, activity).encodeWithCoder(coder);
  auto response = platform::intents::createInstanceOf<ConfigurationIntentResponse>(
      "ConfigurationIntentResponse", coder);
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response->code(), Code::kUnspecified);
  EXPECT_EQ(response->userActivity(), activity);
}

TEST(ConfigurationIntentHandlingTest, NothingIsImplementedByDefault) {
  ConfigurationIntentHandling handler;
  EXPECT_FALSE(handler.respondsToSelector(ConfigurationIntentHandling::kConfirmSelector));
  EXPECT_FALSE(handler.respondsToSelector(ConfigurationIntentHandling::kHandleSelector));
  EXPECT_FALSE(handler.confirm(std::make_shared<ConfigurationIntent>()).has_value());
  EXPECT_FALSE(handler.handle(std::make_shared<ConfigurationIntent>()).has_value());
}

TEST(ConfigurationIntentHandlingTest, CallbackAndAsyncFormsShareOneOperation) {
  ConfigurationIntentHandling handler;
  int calls = 0;
  handler.handleConfiguration = [&calls](std::shared_ptr<ConfigurationIntent>,
                                         ConfigurationIntentHandling::ResponseHandler completion) {
    ++calls;
    completion(std::make_shared<ConfigurationIntentResponse>(Code::kSuccess, std::nullopt));
  };
  EXPECT_TRUE(handler.respondsToSelector("handleConfiguration:completion:"));
  EXPECT_FALSE(handler.respondsToSelector("confirmConfiguration:completion:"));

  std::shared_ptr<ConfigurationIntentResponse> viaCallback;
  handler.handleConfiguration(
      std::make_shared<ConfigurationIntent>(),
      [&](std::shared_ptr<ConfigurationIntentResponse> r) { viaCallback = r; });
  ASSERT_NE(viaCallback, nullptr);
  EXPECT_EQ(viaCallback->code(), Code::kSuccess);

  auto future = handler.handle(std::make_shared<ConfigurationIntent>());
  ASSERT_TRUE(future.has_value());
  EXPECT_EQ(future->get()->code(), Code::kSuccess);
  EXPECT_EQ(calls, 2);
}

TEST(ConfigurationIntentHandlingTest, AsyncFormWaitsForACompletionFromAnotherThread) {
  ConfigurationIntentHandling handler;
  std::thread worker;
  handler.confirmConfiguration = [&worker](
                                     std::shared_ptr<ConfigurationIntent>,
                                     ConfigurationIntentHandling::ResponseHandler completion) {
    worker = std::thread([completion] {
      completion(std::make_shared<ConfigurationIntentResponse>(Code::kReady, std::nullopt));
      completion(
          std::make_shared<ConfigurationIntentResponse>(Code::kFailure, std::nullopt));  // ignored
    });
  };
  auto future = handler.confirm(std::make_shared<ConfigurationIntent>());
  ASSERT_TRUE(future.has_value());
  EXPECT_EQ(future->get()->code(), Code::kReady);
  worker.join();
}

TEST(ConfigurationIntentHandlingTest, DroppedCompletionBreaksTheFuture) {
  ConfigurationIntentHandling handler;
  handler.confirmConfiguration = [](std::shared_ptr<ConfigurationIntent>,
                                    ConfigurationIntentHandling::ResponseHandler) {};
  auto future = handler.confirm(std::make_shared<ConfigurationIntent>());
  ASSERT_TRUE(future.has_value());
  EXPECT_THROW(future->get(), std::future_error);
}

}  // namespace
}  // namespace quorvel
