#include "platform/messaging/extension_helper.h"

#include <gtest/gtest.h>

#include "platform/foundation/bundle.h"
#include "platform/net/local_test_server.h"
#include "tests/support/test_support.h"

namespace platform::messaging {
namespace {

using net::testing::LocalTestServer;
using nlohmann::json;
using usernotifications::UNMutableNotificationContent;
using usernotifications::UNNotificationContent;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";

std::shared_ptr<UNMutableNotificationContent> contentWithImage(const std::string& url) {
  UNNotificationContent::Fields fields;
  fields.title = "BTC";
  fields.body = "Up 5%";
  fields.userInfo = {{"aps", {{"alert", {{"title", "BTC"}, {"body", "Up 5%"}}}}},
                     {"fcm_options", {{"image", url}}}};
  return std::make_shared<UNMutableNotificationContent>(fields);
}

// Records every delivery; shared so that a late one never writes to a dead frame.
struct Deliveries {
  std::mutex mutex;
  std::vector<std::shared_ptr<UNNotificationContent>> contents;
  size_t count() {
    std::lock_guard lock(mutex);
    return contents.size();
  }
};

usernotifications::ContentHandler recorder(const std::shared_ptr<Deliveries>& deliveries) {
  return [deliveries](std::shared_ptr<UNNotificationContent> content) {
    std::lock_guard lock(deliveries->mutex);
    deliveries->contents.push_back(std::move(content));
  };
}

class ExtensionHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    foundation::setMainBundleIdentifier("com.example.notifications");
    server_.server().Get("/image.png", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kPng, "image/png");
    });
    server_.server().Get("/page.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<html></html>", "text/html");
    });
    server_.start();
  }

  quorvel::testing::ScopedHome home_;
  LocalTestServer server_;
  FIRMessagingExtensionHelper helper_;
  std::shared_ptr<Deliveries> deliveries_ = std::make_shared<Deliveries>();
};

TEST_F(ExtensionHelperTest, ContentWithoutImageIsDeliveredAtOnceUnchanged) {
  auto content = std::make_shared<UNMutableNotificationContent>();
  content->setBody("plain");
  content->setUserInfo({{"aps", {{"alert", "plain"}}}});
  auto before = content->fields();
  helper_.populateNotificationContent(content, recorder(deliveries_));
  ASSERT_EQ(deliveries_->count(), 1u);
  EXPECT_EQ(deliveries_->contents[0], content);
  EXPECT_EQ(content->fields(), before);
}

TEST_F(ExtensionHelperTest, AttachesTheImageThenDeliversOnce) {
  auto content = contentWithImage(server_.url("/image.png"));
  helper_.populateNotificationContent(content, recorder(deliveries_));
  ASSERT_TRUE(quorvel::testing::waitUntil([&] { return deliveries_->count() == 1; }));
  EXPECT_EQ(deliveries_->contents[0], content);
  auto attachments = content->attachments();
  ASSERT_EQ(attachments.size(), 1u);
  EXPECT_EQ(attachments[0].type, "public.png");
  EXPECT_EQ(quorvel::testing::readFileBytes(attachments[0].url.substr(7)), kPng);
  EXPECT_EQ(content->title(), "BTC");
}

TEST_F(ExtensionHelperTest, DeliversTheContentUnchangedWhenTheImageFails) {
  for (const std::string& url : {server_.url("/page.html"), std::string("file:///etc/passwd")}) {
    auto deliveries = std::make_shared<Deliveries>();
    auto content = contentWithImage(url);
    auto before = content->fields();
    helper_.populateNotificationContent(content, recorder(deliveries));
    ASSERT_TRUE(quorvel::testing::waitUntil([&] { return deliveries->count() == 1; })) << url;
    EXPECT_EQ(deliveries->contents[0], content) << url;
    EXPECT_EQ(content->fields(), before) << url;
  }
}

TEST_F(ExtensionHelperTest, NullContentIsStillAnswered) {
  helper_.populateNotificationContent(nullptr, recorder(deliveries_));
  ASSERT_EQ(deliveries_->count(), 1u);
  EXPECT_EQ(deliveries_->contents[0], nullptr);
}

TEST_F(ExtensionHelperTest, OptionsApplyToLaterCalls) {
  AttachmentOptions options;
  options.maxBytes = 4;
  helper_.setOptions(options);
  EXPECT_EQ(helper_.options().maxBytes, 4u);
  auto content = contentWithImage(server_.url("/image.png"));
  helper_.populateNotificationContent(content, recorder(deliveries_));
  ASSERT_TRUE(quorvel::testing::waitUntil([&] { return deliveries_->count() == 1; }));
  EXPECT_TRUE(content->attachments().empty());
}

TEST(FIRMessagingTest, ExtensionHelperIsOneSharedObject) {
  EXPECT_EQ(&FIRMessaging::extensionHelper(), &FIRMessaging::extensionHelper());
  EXPECT_EQ(FIRMessaging::extensionHelper().options().maxBytes, 10u << 20);
  EXPECT_EQ(FIRMessaging::extensionHelper().options().timeout, std::chrono::seconds(25));
}

TEST(ImageAddressTest, ReadsOnlyAStringUnderFcmOptions) {
  EXPECT_EQ(imageAddress(json::parse(R"({"fcm_options":{"image":"https://x/y.png"}})")),
            "https://x/y.png");
  for (const char* text : {R"({})", R"({"fcm_options":"x"})", R"({"fcm_options":{"image":5}})",
                           R"({"image":"https://x/y.png"})", R"([])", R"(null)"}) {
    EXPECT_EQ(imageAddress(json::parse(text)), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace platform::messaging
