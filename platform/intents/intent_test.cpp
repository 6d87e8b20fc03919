#include "platform/intents/intent.h"

#include <gtest/gtest.h>

#include <cctype>

#include "tests/support/test_support.h"

namespace platform::intents {
namespace {

// The text form of a version 4 UUID: 8-4-4-4-12 upper-case hex digits.
bool isVersion4Uuid(const std::string& text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (text[i] == '-')) return false;
    if (!dash && !(std::isdigit(static_cast<unsigned char>(text[i])) ||
                   (text[i] >= 'A' && text[i] <= 'F'))) {
      return false;
    }
  }
  return text[14] == '4' && std::string_view("89AB").find(text[19]) != std::string_view::npos;
}

using foundation::Status;

NSUserActivity sampleActivity() {
  NSUserActivity activity;
  activity.activityType = "com.example.view-portfolio";
  activity.title = "Portfolio";
  activity.userInfo = {{"tab", "assets"}};
  return activity;
}

TEST(INIntentTest, GetsAFreshUuidIdentifier) {
  INIntent first;
  INIntent second;
  EXPECT_TRUE(isVersion4Uuid(first.identifier())) << first.identifier();
  EXPECT_NE(first.identifier(), second.identifier());
}

TEST(INIntentTest, ArchiveKeepsTheIdentifier) {
  INIntent original;
  NSCoder coder;
  original.encodeWithCoder(coder);
  EXPECT_EQ(INIntent(coder).identifier(), original.identifier());
}

TEST(INIntentTest, ArchiveWithoutIdentifierGetsAFreshOne) {
  NSCoder coder;
  coder.encode("identifier", 42);
  EXPECT_EQ(INIntent(coder).identifier().size(), 36u);
}

TEST(INIntentResponseTest, StartsWithoutUserActivity) {
  EXPECT_EQ(INIntentResponse().userActivity(), std::nullopt);
}

TEST(INIntentResponseTest, ArchiveRoundTripsTheUserActivity) {
  INIntentResponse original;
  original.setUserActivity(sampleActivity());
  NSCoder coder;
  original.encodeWithCoder(coder);
  auto reread = NSCoder::archiveFromData(coder.archivedData());
  ASSERT_OK(reread.status);
  EXPECT_EQ(INIntentResponse(*reread.value).userActivity(), sampleActivity());
}

TEST(INIntentResponseTest, UnreadableUserActivityIsDropped) {
  for (const nlohmann::json& stored :
       {nlohmann::json("text"), nlohmann::json{{"title", "no type"}},
        nlohmann::json{{"activityType", "a"}, {"title", 3}},
        nlohmann::json{{"activityType", "a"}, {"userInfo", {1, 2}}}}) {
    NSCoder coder;
    coder.encode("userActivity", stored);
    EXPECT_EQ(INIntentResponse(coder).userActivity(), std::nullopt) << stored.dump();
  }
}

TEST(NSCoderTest, RejectsDataThatIsNotAnArchive) {
  auto notJson = NSCoder::archiveFromData("{oops");
  EXPECT_EQ(notJson.status.code(), Status::Code::kParse);
  EXPECT_EQ(notJson.status.localizedDescription(), "archive is not valid JSON");
  auto notObject = NSCoder::archiveFromData("[1,2]");
  EXPECT_EQ(notObject.status.code(), Status::Code::kParse);
  EXPECT_EQ(notObject.status.localizedDescription(), "archive must be a JSON object, not array");
}

TEST(NSCoderTest, DecodesOnlyWhatIsThere) {
  NSCoder coder;
  coder.encode("name", "value");
  coder.encode("number", 7);
  EXPECT_TRUE(coder.containsValueForKey("name"));
  EXPECT_FALSE(coder.containsValueForKey("missing"));
  EXPECT_EQ(coder.decodeString("name"), "value");
  EXPECT_EQ(coder.decodeString("number"), std::nullopt);
  EXPECT_EQ(coder.decode("missing"), std::nullopt);
}

TEST(NSUserActivityTest, ReadsBackItsJsonForm) {
  EXPECT_EQ(userActivityFromJSON(toJSON(sampleActivity())), sampleActivity());
  NSUserActivity bare;
  bare.activityType = "t";
  EXPECT_EQ(userActivityFromJSON(toJSON(bare)), bare);
}

}  // namespace
}  // namespace platform::intents
