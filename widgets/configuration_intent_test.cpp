// The Configuration intent's classes: codes 0...6 only, the code through the runtime's property
// accessors, registration under the plain names, and the handler's two forms sharing one operation.
#include "widgets/configuration_intent.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "platform/intents/object_runtime.h"
#include "widgets/quorvel_widgets.h"

namespace quorvel {
namespace {

using Code = ConfigurationIntentResponseCode;
using Handler = ConfigurationIntentHandling;

TEST(ConfigurationIntentTest, RawValuesZeroToSixAreTheOnlyCodes) {
  for (std::intptr_t raw : {INTPTR_MIN, std::intptr_t{-1}, std::intptr_t{0}, std::intptr_t{3},
                            std::intptr_t{6}, std::intptr_t{7}, INTPTR_MAX}) {
    const auto code = configurationIntentResponseCodeFromRawValue(raw);
    EXPECT_EQ(code ? rawValue(*code) : -1, raw >= 0 && raw <= 6 ? raw : -1) << raw;
  }
  EXPECT_EQ(ConfigurationIntentResponse().valueForKey("code"), 0);
  ConfigurationIntentResponse response(Code::kInProgress, std::nullopt);
  for (const nlohmann::json& value :
       {nlohmann::json(7), nlohmann::json(2.5), nlohmann::json("1")}) {
    EXPECT_EQ(response.setValueForKey("code", value).localizedDescription(),
              "code must be a whole number from 0 to 6, not " + value.dump());
    EXPECT_EQ(response.valueForKey("code"), 3);
  }
  EXPECT_TRUE(response.setValueForKey("code", 6).ok());
  EXPECT_EQ(response.code(), Code::kFailureRequiringAppLaunch);
  EXPECT_FALSE(response.setValueForKey("other", 1).ok());
}

TEST(ConfigurationIntentTest, ClassesAreMadeByTheirPlainNamesAndArchivesKeepOnlyTheBase) {
  QuorvelWidgets{}.prepare();
  QuorvelWidgets{}.prepare();  // a second call changes nothing
  EXPECT_FALSE(platform::intents::isClassRegistered("QuorvelWidgetsExtension.ConfigurationIntent"));
  auto intent = platform::intents::createInstanceOf<ConfigurationIntent>("ConfigurationIntent");
  ASSERT_NE(intent, nullptr);
  platform::intents::NSUserActivity activity;
  activity.activityType = "configure";
  platform::intents::NSCoder coder;
  ConfigurationIntentResponse(Code::kFailure, activity).encodeWithCoder(coder);
  auto response = platform::intents::createInstanceOf<ConfigurationIntentResponse>(
      "ConfigurationIntentResponse", coder);
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response->code(), Code::kUnspecified);
  EXPECT_EQ(response->userActivity(), activity);
}

TEST(ConfigurationIntentTest, HandlerAnswersThroughCallbackOrFuture) {
  Handler handler;
  EXPECT_FALSE(handler.confirm(std::make_shared<ConfigurationIntent>()).has_value());
  std::thread worker;
  handler.confirmConfiguration = [&worker](auto, Handler::ResponseHandler completion) {
    worker = std::thread([completion] {
      completion(std::make_shared<ConfigurationIntentResponse>(Code::kReady, std::nullopt));
      completion(std::make_shared<ConfigurationIntentResponse>(Code::kFailure, std::nullopt));
    });
  };
  EXPECT_TRUE(handler.respondsToSelector("confirmConfiguration:completion:"));
  EXPECT_FALSE(handler.respondsToSelector("handleConfiguration:completion:"));
  EXPECT_FALSE(handler.handle(std::make_shared<ConfigurationIntent>()).has_value());
  EXPECT_EQ(handler.confirm(std::make_shared<ConfigurationIntent>())->get()->code(), Code::kReady);
  worker.join();
  handler.handleConfiguration = [](auto, Handler::ResponseHandler) {};  // drops its completion
  EXPECT_TRUE(handler.respondsToSelector("handleConfiguration:completion:"));
  EXPECT_FALSE(handler.respondsToSelector("confirmConfiguration:"));  // whole selectors only
  EXPECT_THROW(handler.handle(std::make_shared<ConfigurationIntent>())->get(), std::future_error);
}

}  // namespace
}  // namespace quorvel
