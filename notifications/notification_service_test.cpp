#include "notifications/notification_service.h"

#include <gtest/gtest.h>

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

// Images and their time-outs are left to the end-to-end suite; here the
// helper has nothing to fetch and delivers at once.
TEST(NotificationServiceTest, DeliversItsCopyThroughTheHelperAndAgainAtExpiry) {
  const NSExtensionInfo info = notificationsExtensionInfo();
  EXPECT_EQ(info.bundleIdentifier, "com.tavrin.quorvel.notifications");
  auto service =
      std::dynamic_pointer_cast<NotificationService>(createPrincipalClass(info.principalClass));
  ASSERT_NE(service, nullptr);
  std::vector<std::shared_ptr<UNNotificationContent>> delivered;
  const ContentHandler record = [&](auto content) { delivered.push_back(content); };
  UNNotificationContent::Fields fields;
  fields.body = "Up 5%";
  fields.userInfo = {{"aps", {{"alert", "Up 5%"}}}};

  service->serviceExtensionTimeWillExpire();  // before any request: nothing to deliver
  service->didReceiveNotificationRequest(nullptr, record);
  service->serviceExtensionTimeWillExpire();
  service->didReceiveNotificationRequest(
      std::make_shared<UNNotificationRequest>("1", std::make_shared<ReadOnlyCopy>(fields)), record);
  service->serviceExtensionTimeWillExpire();
  EXPECT_EQ(service->bestAttemptContent, nullptr);
  EXPECT_TRUE(delivered.empty());
  const auto original = std::make_shared<UNNotificationContent>(fields);
  service->didReceiveNotificationRequest(std::make_shared<UNNotificationRequest>("2", original),
                                         record);
  service->serviceExtensionTimeWillExpire();
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered[0], service->bestAttemptContent);
  EXPECT_EQ(delivered[1], service->bestAttemptContent);
  EXPECT_NE(delivered[0], original);
  EXPECT_EQ(delivered[0]->fields(), fields);
}

}  // namespace
}  // namespace quorvel
