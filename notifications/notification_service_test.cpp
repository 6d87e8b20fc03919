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

// Images, time-outs and delivery at expiry are left to the end-to-end suite;
// here the helper has nothing to fetch and delivers at once.
TEST(NotificationServiceTest, DeliversACopyOnlyOfAMutableRequest) {
  auto service = std::dynamic_pointer_cast<NotificationService>(
      createPrincipalClass(notificationsExtensionInfo().principalClass));
  ASSERT_NE(service, nullptr);
  std::vector<std::shared_ptr<UNNotificationContent>> delivered;
  const ContentHandler record = [&](auto content) { delivered.push_back(content); };
  UNNotificationContent::Fields fields;
  fields.body = "Up 5%";
  fields.userInfo = {{"aps", {{"alert", "Up 5%"}}}};

  service->serviceExtensionTimeWillExpire();  // before any request: nothing to deliver
  service->didReceiveNotificationRequest(nullptr, record);
  service->didReceiveNotificationRequest(
      std::make_shared<UNNotificationRequest>("1", std::make_shared<ReadOnlyCopy>(fields)), record);
  service->serviceExtensionTimeWillExpire();
  EXPECT_EQ(service->bestAttemptContent, nullptr);
  EXPECT_TRUE(delivered.empty());
  const auto original = std::make_shared<UNNotificationContent>(fields);
  service->didReceiveNotificationRequest(std::make_shared<UNNotificationRequest>("2", original),
                                         record);
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0], service->bestAttemptContent);
  EXPECT_NE(delivered[0], original);
  EXPECT_EQ(delivered[0]->fields(), fields);
}

}  // namespace
}  // namespace quorvel
