#include "notifications/notification_service.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/foundation/bundle.h"
#include "platform/net/local_test_server.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using platform::usernotifications::ContentHandler;
using platform::usernotifications::UNMutableNotificationContent;
using platform::usernotifications::UNNotificationContent;
using platform::usernotifications::UNNotificationRequest;
using Fields = UNNotificationContent::Fields;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";

// Every content one delivery callback received; shared, because the helper
// may call back after the test has looked.
struct Calls {
  std::mutex mutex;
  std::vector<std::shared_ptr<UNNotificationContent>> contents;
  size_t count() {
    std::lock_guard lock(mutex);
    return contents.size();
  }
  std::shared_ptr<UNNotificationContent> at(size_t index) {
    std::lock_guard lock(mutex);
    return contents.at(index);
  }
};

ContentHandler recordInto(const std::shared_ptr<Calls>& calls) {
  return [calls](std::shared_ptr<UNNotificationContent> content) {
    std::lock_guard lock(calls->mutex);
    calls->contents.push_back(std::move(content));
  };
}

std::shared_ptr<UNNotificationRequest> requestWith(Fields fields) {
  return std::make_shared<UNNotificationRequest>(
      "request-1", std::make_shared<const UNNotificationContent>(std::move(fields)));
}

Fields ordinaryFields(const std::string& body) {
  Fields fields;
  fields.title = "BTC";
  fields.body = body;
  fields.badge = 2;
  fields.userInfo = {{"aps", {{"alert", {{"title", "BTC"}, {"body", body}}}, {"badge", 2}}},
                     {"custom", "x"}};
  return fields;
}

Fields fieldsWithImage(const std::string& body, const std::string& url) {
  Fields fields = ordinaryFields(body);
  fields.userInfo["fcm_options"] = {{"image", url}};
  return fields;
}

// A content whose mutable copy is not a mutable content.
class ReadOnlyCopyContent : public UNNotificationContent {
 public:
  using UNNotificationContent::UNNotificationContent;
  std::shared_ptr<UNNotificationContent> mutableCopy() const override {
    return std::make_shared<UNNotificationContent>(fields());
  }
};

class NotificationServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::foundation::setMainBundleIdentifier("com.tavrin.quorvel.notifications");
    // Holds every image request until the test lets go, so that the helper
    // is still working when the time limit runs out.
    server_.server().Get("/stalled.png", [this](const httplib::Request&, httplib::Response& res) {
      ++stalledRequests_;
      gate_.waitOpen();
      res.set_content(kPng, "image/png");
    });
    server_.start();
  }
  void TearDown() override { gate_.open(); }

  bool waitForStalledRequests(int count) {
    return testing::waitUntil([&] { return stalledRequests_.load() == count; });
  }

  testing::ScopedHome home_;
  platform::net::testing::LocalTestServer server_;
  platform::net::testing::Gate gate_;
  std::atomic<int> stalledRequests_{0};
};

TEST_F(NotificationServiceTest, StartsWithBothFieldsAbsent) {
  NotificationService service;
  EXPECT_FALSE(service.contentHandler);
  EXPECT_EQ(service.bestAttemptContent, nullptr);
}

TEST_F(NotificationServiceTest, OrdinaryContentIsDeliveredOnceByTheHelper) {
  NotificationService service;
  auto request = requestWith(ordinaryFields("Up 5%"));
  auto calls = std::make_shared<Calls>();
  service.didReceiveNotificationRequest(request, recordInto(calls));
  ASSERT_TRUE(testing::waitUntil([&] { return calls->count() == 1; }));
  EXPECT_EQ(calls->at(0),
            service.bestAttemptContent);  // the helper delivered the copy it was given
  EXPECT_NE(calls->at(0), request->content());
  EXPECT_EQ(calls->at(0)->fields(), ordinaryFields("Up 5%"));
  EXPECT_EQ(calls->count(), 1u);
}

TEST_F(NotificationServiceTest, ExpiryDeliversTheCopyWhenTheHelperHasNotCalledBack) {
  NotificationService service;
  auto calls = std::make_shared<Calls>();
  service.didReceiveNotificationRequest(
      requestWith(fieldsWithImage("Up 5%", server_.url("/stalled.png"))), recordInto(calls));
  ASSERT_TRUE(waitForStalledRequests(1));
  EXPECT_EQ(calls->count(), 0u);

  service.serviceExtensionTimeWillExpire();
  ASSERT_EQ(calls->count(), 1u);
  EXPECT_EQ(calls->at(0), service.bestAttemptContent);
  EXPECT_TRUE(calls->at(0)->attachments().empty());
  EXPECT_EQ(calls->at(0)->body(), "Up 5%");

  // The helper still finishes later, through its own reference to the callback.
  gate_.open();
  ASSERT_TRUE(testing::waitUntil([&] { return calls->count() == 2; }));
  EXPECT_EQ(calls->at(1)->attachments().size(), 1u);
}

TEST_F(NotificationServiceTest, ExpiryBeforeAnyRequestDoesNothing) {
  NotificationService service;
  service.serviceExtensionTimeWillExpire();
  EXPECT_FALSE(service.contentHandler);
  EXPECT_EQ(service.bestAttemptContent, nullptr);
}

TEST_F(NotificationServiceTest, ASecondRequestReplacesBothFields) {
  NotificationService service;
  auto firstCalls = std::make_shared<Calls>();
  auto secondCalls = std::make_shared<Calls>();
  service.didReceiveNotificationRequest(
      requestWith(fieldsWithImage("first", server_.url("/stalled.png"))), recordInto(firstCalls));
  auto firstCopy = service.bestAttemptContent;
  service.didReceiveNotificationRequest(
      requestWith(fieldsWithImage("second", server_.url("/stalled.png"))), recordInto(secondCalls));
  ASSERT_TRUE(waitForStalledRequests(2));
  EXPECT_NE(service.bestAttemptContent, firstCopy);

  service.serviceExtensionTimeWillExpire();
  EXPECT_EQ(firstCalls->count(), 0u);
  ASSERT_EQ(secondCalls->count(), 1u);
  EXPECT_EQ(secondCalls->at(0)->body(), "second");

  gate_.open();
  ASSERT_TRUE(
      testing::waitUntil([&] { return firstCalls->count() == 1 && secondCalls->count() == 2; }));
  EXPECT_EQ(firstCalls->at(0), firstCopy);
}

TEST_F(NotificationServiceTest, ACopyThatIsNotMutableIsNeverDelivered) {
  NotificationService service;
  auto calls = std::make_shared<Calls>();
  auto request = std::make_shared<UNNotificationRequest>(
      "request-1", std::make_shared<const ReadOnlyCopyContent>(ordinaryFields("Up 5%")));
  service.didReceiveNotificationRequest(request, recordInto(calls));
  EXPECT_TRUE(service.contentHandler);
  EXPECT_EQ(service.bestAttemptContent, nullptr);
  service.serviceExtensionTimeWillExpire();
  EXPECT_EQ(calls->count(), 0u);
}

TEST_F(NotificationServiceTest, ExpiryAfterTheHelperDeliversAgain) {
  NotificationService service;
  auto calls = std::make_shared<Calls>();
  service.didReceiveNotificationRequest(requestWith(ordinaryFields("Up 5%")), recordInto(calls));
  ASSERT_TRUE(testing::waitUntil([&] { return calls->count() == 1; }));
  service.serviceExtensionTimeWillExpire();
  ASSERT_EQ(calls->count(), 2u);
  EXPECT_EQ(calls->at(1), calls->at(0));
}

TEST(NotificationsExtensionInfoTest, RegistersThePrincipalClass) {
  auto info = notificationsExtensionInfo();
  EXPECT_EQ(info.bundleIdentifier, "com.tavrin.quorvel.notifications");
  EXPECT_EQ(info.principalClass, "QuorvelNotificationsExtension.NotificationService");
  EXPECT_EQ(notificationsExtensionInfo().principalClass,
            info.principalClass);  // a second call is harmless
  auto instance = platform::usernotifications::createPrincipalClass(info.principalClass);
  ASSERT_NE(instance, nullptr);
  EXPECT_NE(dynamic_cast<NotificationService*>(instance.get()), nullptr);
}

}  // namespace
}  // namespace quorvel
