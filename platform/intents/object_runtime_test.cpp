#include "platform/intents/object_runtime.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/intents/intent.h"
#include "tests/support/test_support.h"

namespace platform::intents {
using foundation::Status;

struct Gadget : INIntentResponse {
  using INIntentResponse::INIntentResponse;
  std::string_view className() const override { return "Gadget"; }
};

// The registry is process-wide: each name here is registered once.
TEST(ObjectRuntimeTest, CreatesRegisteredClassesByTheirExactNameOnly) {
  ASSERT_OK(registerClass<Gadget>("Test.Gadget"));
  EXPECT_NE(createInstance("Test.Gadget"), createInstance("Test.Gadget"));
  EXPECT_EQ(createInstanceOf<INIntent>("Test.Gadget"), nullptr);
  for (const char* name : {"test.gadget", "Gadget", "Test.Half", ""}) {
    EXPECT_FALSE(isClassRegistered(name) || createInstance(name) || createInstance(name, {}));
  }
  const std::pair<Status, std::string> refused[] = {
      {registerClass<INIntent>("Test.Gadget"), "class \"Test.Gadget\" is already registered"},
      {registerClass<Gadget>(""), "a class needs a name to be registered"},
      {registerClass({"Test.Half", [] { return std::make_shared<Gadget>(); }, {}}),
       "class \"Test.Half\" needs both initializers to be registered"}};
  for (const auto& [status, message] : refused) EXPECT_EQ(status, Status::InvalidArgument(message));
  const auto names = registeredClassNames();
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(std::count(names.begin(), names.end(), "Test.Gadget"), 1);
  EXPECT_TRUE(Gadget().valueForKey("code").is_null());
  EXPECT_EQ(NSCoder::archiveFromData("{").status, Status::Parse("archive is not valid JSON"));
  EXPECT_EQ(NSCoder::archiveFromData("[1]").status,
            Status::Parse("archive must be a JSON object, not array"));
}

TEST(INIntentTest, ArchivesGiveFreshIdentifiersAndDropUnreadableUserActivities) {
  const std::regex uuid4("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  NSCoder coder;
  for (const nlohmann::json& stored : {nlohmann::json(42), nlohmann::json("")}) {
    coder.encode("identifier", stored);
    EXPECT_TRUE(std::regex_match(INIntent(coder).identifier(), uuid4)) << stored;
  }
  EXPECT_NE(INIntent().identifier(), INIntent(coder).identifier());
  coder.encode("userActivity", nlohmann::json::parse(R"({"activityType":"a","title":"t",
      "webpageURL":null,"userInfo":null})"));
  EXPECT_EQ(INIntentResponse(coder).userActivity(),
            (NSUserActivity{"a", "t", {}, nlohmann::json::object()}));
  for (const char* unreadable :
       {R"("a")", R"({"title":"a"})", R"({"activityType":1})", R"({"activityType":"a","title":3})",
        R"({"activityType":"a","webpageURL":0})", R"({"activityType":"a","userInfo":[1]})"}) {
    coder.encode("userActivity", nlohmann::json::parse(unreadable));
    EXPECT_EQ(INIntentResponse(coder).userActivity(), std::nullopt) << unreadable;
  }
  EXPECT_FALSE(coder.decodeString("userActivity") || coder.decode("x"));
}

}  // namespace platform::intents
