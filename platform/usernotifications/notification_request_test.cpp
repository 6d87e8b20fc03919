#include "platform/usernotifications/notification_request.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace platform::usernotifications {
namespace {

using foundation::Status;
using nlohmann::json;

TEST(ContentFieldsFromPayloadTest, ReadsEveryApsMember) {
  json payload = json::parse(R"({
    "aps":{"alert":{"title":"T","subtitle":"S","body":"B"},"badge":4,"sound":"ping.caf",
           "mutable-content":1,"category":"price","thread-id":"btc"},
    "fcm_options":{"image":"http://127.0.0.1/x.png"}})");
  auto fields = contentFieldsFromPayload(payload);
  ASSERT_OK(fields.status);
  EXPECT_EQ(fields.value->title, "T");
  EXPECT_EQ(fields.value->subtitle, "S");
  EXPECT_EQ(fields.value->body, "B");
  EXPECT_EQ(fields.value->badge, 4);
  EXPECT_EQ(fields.value->sound, "ping.caf");
  EXPECT_EQ(fields.value->categoryIdentifier, "price");
  EXPECT_EQ(fields.value->threadIdentifier, "btc");
  EXPECT_TRUE(fields.value->attachments.empty());
  EXPECT_EQ(fields.value->userInfo, payload);
}

TEST(ContentFieldsFromPayloadTest, AStringAlertIsTheBody) {
  auto fields = contentFieldsFromPayload(json::parse(R"({"aps":{"alert":"Hello"}})"));
  ASSERT_OK(fields.status);
  EXPECT_EQ(fields.value->title, "");
  EXPECT_EQ(fields.value->body, "Hello");
}

TEST(ContentFieldsFromPayloadTest, CriticalSoundGivesItsName) {
  auto fields =
      contentFieldsFromPayload(json::parse(R"({"aps":{"sound":{"critical":1,"name":"alarm"}}})"));
  ASSERT_OK(fields.status);
  EXPECT_EQ(fields.value->sound, "alarm");
}

TEST(ContentFieldsFromPayloadTest, WholeFloatBadgeCounts) {
  auto fields = contentFieldsFromPayload(json::parse(R"({"aps":{"badge":2.0}})"));
  ASSERT_OK(fields.status);
  EXPECT_EQ(fields.value->badge, 2);
}

TEST(ContentFieldsFromPayloadTest, MissingOrNullMembersStayEmpty) {
  for (const char* text : {R"({})", R"({"aps":null})", R"({"aps":{}})",
                           R"({"aps":{"alert":null,"badge":null,"sound":null}})"}) {
    auto fields = contentFieldsFromPayload(json::parse(text));
    ASSERT_OK(fields.status) << text;
    EXPECT_EQ(fields.value->body, "") << text;
    EXPECT_EQ(fields.value->badge, std::nullopt) << text;
    EXPECT_EQ(fields.value->sound, std::nullopt) << text;
  }
}

TEST(ContentFieldsFromPayloadTest, RefusesMembersOfTheWrongType) {
  struct Row {
    const char* payload;
    const char* message;
  };
  const Row rows[] = {
      {R"([1,2])", "the payload must be a JSON object, not array"},
      {R"("text")", "the payload must be a JSON object, not string"},
      {R"({"aps":[]})", "aps must be an object, not array"},
      {R"({"aps":{"alert":5}})", "aps.alert must be a string or an object, not number"},
      {R"({"aps":{"alert":{"title":true}}})", "aps.alert.title must be a string, not boolean"},
      {R"({"aps":{"badge":"3"}})", "aps.badge must be a whole number, not string"},
      {R"({"aps":{"badge":2.5}})", "aps.badge must be a whole number, not number"},
      {R"({"aps":{"badge":1e300}})", "aps.badge must be a whole number, not number"},
      {R"({"aps":{"badge":18446744073709551615}})", "aps.badge is too large"},
      {R"({"aps":{"sound":{"critical":1}}})", "aps.sound needs a string \"name\""},
      {R"({"aps":{"sound":1}})", "aps.sound must be a string or an object, not number"},
      {R"({"aps":{"category":{}}})", "aps.category must be a string, not object"},
      {R"({"aps":{"thread-id":7}})", "aps.thread-id must be a string, not number"},
  };
  for (const Row& row : rows) {
    auto fields = contentFieldsFromPayload(json::parse(row.payload));
    EXPECT_EQ(fields.status.code(), Status::Code::kInvalidArgument) << row.payload;
    EXPECT_EQ(fields.status.localizedDescription(), row.message) << row.payload;
  }
}

TEST(UNNotificationRequestTest, FromPayloadGetsAFreshIdentifierAndTheContent) {
  json payload = json::parse(R"({"aps":{"alert":"Hi"}})");
  auto first = UNNotificationRequest::fromPayload(payload);
  auto second = UNNotificationRequest::fromPayload(payload);
  ASSERT_OK(first.status);
  ASSERT_OK(second.status);
  EXPECT_EQ((*first.value)->identifier().size(), 36u);
  EXPECT_NE((*first.value)->identifier(), (*second.value)->identifier());
  EXPECT_EQ((*first.value)->content()->body(), "Hi");
}

TEST(UNNotificationRequestTest, FromPayloadPassesOnTheError) {
  auto request = UNNotificationRequest::fromPayload(json(3));
  EXPECT_EQ(request.status.code(), Status::Code::kInvalidArgument);
  EXPECT_FALSE(request.value.has_value());
}

}  // namespace
}  // namespace platform::usernotifications
