#include "platform/usernotifications/notification_content.h"

#include <gtest/gtest.h>

#include <thread>

namespace platform::usernotifications {
namespace {

using Fields = UNNotificationContent::Fields;

Fields sampleFields() {
  Fields fields;
  fields.title = "BTC";
  fields.subtitle = "Price alert";
  fields.body = "Up 5% today";
  fields.badge = 3;
  fields.sound = "default";
  fields.categoryIdentifier = "price";
  fields.threadIdentifier = "btc";
  fields.attachments = {{"image", "file:///tmp/a.png", "public.png"}};
  fields.userInfo = {{"aps", {{"alert", "x"}}}, {"custom", 1}};
  return fields;
}

TEST(UNNotificationContentTest, MutableCopyIsAnEqualIndependentMutableContent) {
  UNNotificationContent original(sampleFields());
  auto copy = std::dynamic_pointer_cast<UNMutableNotificationContent>(original.mutableCopy());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->fields(), sampleFields());
  copy->setTitle("changed");
  copy->addAttachment({"second", "file:///tmp/b.gif", "com.compuserve.gif"});
  EXPECT_EQ(original.title(), "BTC");
  EXPECT_EQ(original.attachments().size(), 1u);
  EXPECT_EQ(copy->attachments().size(), 2u);
}

TEST(UNNotificationContentTest, CopyOfACopyIsIndependentToo) {
  UNMutableNotificationContent first(sampleFields());
  auto second = std::dynamic_pointer_cast<UNMutableNotificationContent>(first.mutableCopy());
  ASSERT_NE(second, nullptr);
  first.setBadge(std::nullopt);
  EXPECT_EQ(second->badge(), 3);
}

TEST(UNNotificationContentTest, SettersChangeOneProperty) {
  UNMutableNotificationContent content;
  content.setBody("b");
  content.setSound(std::nullopt);
  content.setUserInfo({{"k", "v"}});
  Fields expected;
  expected.body = "b";
  expected.userInfo = {{"k", "v"}};
  EXPECT_EQ(content.fields(), expected);
}

TEST(UNNotificationContentTest, JsonFormNamesEveryProperty) {
  EXPECT_EQ(toJSON(sampleFields()).dump(), nlohmann::ordered_json::parse(R"({
    "title":"BTC","subtitle":"Price alert","body":"Up 5% today","badge":3,"sound":"default",
    "categoryIdentifier":"price","threadIdentifier":"btc",
    "attachments":[{"identifier":"image","url":"file:///tmp/a.png","type":"public.png"}],
    "userInfo":{"aps":{"alert":"x"},"custom":1}})")
                                               .dump());
  nlohmann::ordered_json empty = toJSON(Fields());
  EXPECT_TRUE(empty["badge"].is_null());
  EXPECT_TRUE(empty["sound"].is_null());
  EXPECT_EQ(empty["attachments"], nlohmann::ordered_json::array());
  EXPECT_EQ(empty["userInfo"], nlohmann::ordered_json::object());
}

TEST(UNNotificationContentTest, PropertiesMayBeSetAndReadFromTwoThreads) {
  auto content = std::make_shared<UNMutableNotificationContent>();
  std::thread writer([content] {
    for (int i = 0; i < 200; ++i)
      content->addAttachment({std::to_string(i), "file:///x", "public.png"});
  });
  size_t seen = 0;
  for (int i = 0; i < 200; ++i) seen = std::max(seen, content->fields().attachments.size());
  writer.join();
  EXPECT_EQ(content->attachments().size(), 200u);
  EXPECT_LE(seen, 200u);
}

}  // namespace
}  // namespace platform::usernotifications
