#include "notifications/notification_service.h"

#include <gtest/gtest.h>

#include "platform/foundation/bundle.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using namespace platform::usernotifications;

// A content whose mutable copy is not a mutable content.
struct ReadOnlyCopy : UNNotificationContent {
  using UNNotificationContent::UNNotificationContent;
  std::shared_ptr<UNNotificationContent> mutableCopy() const override {
    return std::make_shared<UNNotificationContent>(fields());
  }
};

TEST(NotificationServiceTest, TheHelperOrTheExpiryDeliversTheCompletedCopy) {
  testing::ScopedHome home;
  testing::Gate gate;
  testing::LoopbackServer server;
  server.server().Get("/stalled.png", [&](const httplib::Request&, httplib::Response& response) {
    gate.waitOpen();
    response.set_content(std::string("\x89PNG\r\n\x1a\n", 8), "image/png");
  });
  server.start();
  const NSExtensionInfo info = notificationsExtensionInfo();
  EXPECT_EQ(info.bundleIdentifier, "com.tavrin.quorvel.notifications");
  platform::foundation::setMainBundleIdentifier(info.bundleIdentifier);
  auto service =
      std::dynamic_pointer_cast<NotificationService>(createPrincipalClass(info.principalClass));
  ASSERT_NE(service, nullptr);
  // Shared, so that a late delivery never writes into a finished test.
  auto delivered =
      std::make_shared<std::pair<std::mutex, std::vector<UNNotificationContent::Fields>>>();
  auto record = [delivered](std::shared_ptr<UNNotificationContent> content) {
    std::lock_guard lock(delivered->first);
    delivered->second.push_back(content->fields());
  };
  auto count = [delivered] {
    std::lock_guard lock(delivered->first);
    return delivered->second.size();
  };
  UNNotificationContent::Fields fields;
  fields.body = "Up 5%";
  fields.userInfo = {{"fcm_options", {{"image", server.url("/stalled.png")}}}};

  service->serviceExtensionTimeWillExpire();  // before any request: nothing to deliver
  service->didReceiveNotificationRequest(
      std::make_shared<UNNotificationRequest>("1", std::make_shared<ReadOnlyCopy>(fields)), record);
  service->serviceExtensionTimeWillExpire();
  EXPECT_EQ(service->bestAttemptContent, nullptr);
  service->didReceiveNotificationRequest(
      std::make_shared<UNNotificationRequest>("2", std::make_shared<UNNotificationContent>(fields)),
      record);
  EXPECT_EQ(count(), 0u);
  service->serviceExtensionTimeWillExpire();
  gate.open();
  ASSERT_TRUE(testing::waitUntil([&] { return count() == 2; }));
  EXPECT_EQ(delivered->second.at(0), fields);
  fields.attachments = service->bestAttemptContent->attachments();
  ASSERT_EQ(fields.attachments.size(), 1u);
  EXPECT_EQ(delivered->second.at(1), fields);
}

}  // namespace
}  // namespace quorvel
