#include "platform/usernotifications/extension_main.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/usernotifications/delivered_attachments.h"
#include "platform/usernotifications/service_extension.h"
#include "tests/support/test_support.h"

namespace platform::usernotifications {
namespace {

using foundation::Status;
using nlohmann::json;

// Does what the alert body says: "helper" delivers a changed copy from another
// thread (and then more that must be ignored), "expiry" delivers at expiry.
class Scripted : public UNNotificationServiceExtension {
  void didReceiveNotificationRequest(std::shared_ptr<UNNotificationRequest> request,
                                     ContentHandler handler) override {
    copy_ =
        std::static_pointer_cast<UNMutableNotificationContent>(request->content()->mutableCopy());
    handler_ = handler;
    if (copy_->body() != "helper") return;
    foundation::DispatchQueue::global().async([copy = copy_, handler] {
      copy->setTitle("completed");
      handler(copy);
      handler(nullptr);
      copy->setTitle("changed after delivery");
      handler(copy);
    });
  }
  void serviceExtensionTimeWillExpire() override {
    if (copy_->body() == "expiry") handler_(copy_);
  }
  std::shared_ptr<UNMutableNotificationContent> copy_;
  ContentHandler handler_;
};

TEST(UNNotificationRequestTest, ReadsThePayloadAsThePhoneDoes) {
  const std::pair<std::string, std::string> rows[] = {
      // payload -> the content's members but userInfo, in order, then the notes; or the error
      {R"({"aps":{"alert":"Hi","badge":2.0,"sound":{"name":"alarm"}}})",
       R"(""|""|"Hi"|2|"alarm"|""|""|[]|)"},
      {R"({"aps":{"alert":null,"badge":null,"sound":null,"category":null}})",
       R"(""|""|""|null|null|""|""|[]|)"},
      {R"({"aps":{"badge":9223372036854775807}})",
       R"(""|""|""|9223372036854775807|null|""|""|[]|)"},
      {R"({"aps":{"badge":9223372036854775808,"sound":"a"}})",
       R"(""|""|""|null|"a"|""|""|[]|aps.badge is too large.)"},
      {R"({"aps":{"badge":-9.0e15}})",
       R"(""|""|""|null|null|""|""|[]|aps.badge must be a whole number, not number.)"},
      {R"({"aps":{"badge":2.5,"category":1}})",
       R"(""|""|""|null|null|""|""|[]|aps.badge must be a whole number, not number.)"
       "aps.category must be a string, not number."},
      {R"([1])", "the payload must be a JSON object, not array"},
      {R"({})", "the payload has no \"aps\" member, so it is no notification"},
      {R"({"aps":{"alert":{"body":true,"title":"T"}}})",
       R"("T"|""|""|null|null|""|""|[]|aps.alert.body must be a string, not boolean.)"},
      {R"({"aps":{"sound":{"critical":1}}})",
       R"(""|""|""|null|null|""|""|[]|aps.sound needs a string "name".)"},
      {R"({"aps":{"alert":{"loc-key":"%@ %1$@ %%","loc-args":["a",1]}}})",
       R"(""|""|"%@ %1$@ %"|null|null|""|""|[]|aps.alert.loc-args must be an array of )"
       R"(strings, not array.)"},
  };
  for (const auto& [text, expected] : rows) {
    const json payload = json::parse(text);
    std::vector<std::string> notes;
    const auto request = UNNotificationRequest::fromPayload(payload, &notes);
    std::string got = request.ok() ? "" : request.status.localizedDescription();
    if (request.ok()) {
      auto content = toJSON((*request.value)->content()->fields());
      EXPECT_EQ(content["userInfo"], payload);
      content.erase("userInfo");
      for (const auto& [key, value] : content.items()) got += value.dump() + "|";
      for (const std::string& note : notes) got += note + ".";
    }
    EXPECT_EQ(got, expected) << text;
  }
}

// Attachment files leave the extension's folder for the system's, which
// keeps those of the most recent notifications only.
TEST(DeliveredAttachmentsTest, KeepsTheLatestNotificationsFiles) {
  quorvel::testing::ScopedHome home;
  const auto container = home.path() / "Containers" / "x y", kept = deliveredAttachmentsFolder();
  std::vector<std::string> notes;
  for (std::size_t i = 0; i <= kKeptNotificationAttachments + 1; ++i) {
    quorvel::testing::writeFileBytes(container / "tmp/left/a b.png", std::to_string(i));
    UNNotificationContent::Fields fields;
    fields.attachments = {{"i", "file://" + (container / "tmp/left/a%20b.png").string(), "t"},
                          {"o", "file:///etc/hostname", "t"},
                          {"m", "file://" + (container / "tmp/missing.png").string(), "t"}};
    takeOverAttachments(fields, container, "r" + std::to_string(i), notes);
    ASSERT_EQ(fields.attachments.size(), 2u);
    EXPECT_EQ(fields.attachments[1].url, "file:///etc/hostname");
    EXPECT_TRUE(fields.attachments[0].url.starts_with("file://" + kept.string() + "/"));
    EXPECT_TRUE(fields.attachments[0].url.ends_with("-r" + std::to_string(i) + "/a%20b.png"));
    EXPECT_TRUE(std::filesystem::is_empty(container / "tmp"));
  }
  EXPECT_TRUE(notes.at(0).starts_with("attachment m left out: cannot move " + container.string()));
  std::set<std::string> folders;
  for (const auto& entry : std::filesystem::directory_iterator(kept))
    folders.insert(entry.path().filename().string());
  ASSERT_EQ(folders.size(), kKeptNotificationAttachments);
  EXPECT_TRUE(folders.begin()->ends_with("-r2"));
  EXPECT_EQ(quorvel::testing::readFileBytes(kept / *folders.rbegin() / "a b.png"),
            std::to_string(kKeptNotificationAttachments + 1));
}

TEST(ExtensionMainTest, RunsThePrincipalClassOnAPayload) {
  ASSERT_OK(registerPrincipalClass<Scripted>("S"));
  ASSERT_OK(registerPrincipalClass<UNNotificationServiceExtension>("B"));
  UNNotificationServiceExtension().didReceiveNotificationRequest(nullptr, [](auto) { FAIL(); });
  UNNotificationServiceExtension().didReceiveNotificationRequest(
      *UNNotificationRequest::fromPayload(json::parse(R"({"aps":{}})")).value, nullptr);
  EXPECT_EQ(registerPrincipalClass<Scripted>("B"),
            Status::InvalidArgument("principal class \"B\" is already registered"));
  EXPECT_EQ(registerPrincipalClass<Scripted>("").localizedDescription(),
            "a principal class needs a name");
  EXPECT_EQ(registerPrincipalClass("N", nullptr),
            Status::InvalidArgument("principal class \"N\" needs a factory"));
  quorvel::testing::TempDir dir;
  const std::string d = dir.path().string(), p = "QuorvelNotificationsExtension: ";
  const auto alert = [](const std::string& body) {
    return R"({"aps":{"mutable-content":1,"alert":")" + body + "\"}}";
  };
  const std::string deep =
      R"({"aps":{},"k":)" + std::string(63, '[') + "1" + std::string(63, ']') + "}";
  const std::string stdinPayload = p + "payload from standard input ";
  const std::tuple<std::vector<std::string>, std::string, std::string, int, std::string> rows[] = {
      // arguments, standard input, principal class -> exit status, how the output starts
      // (standard error when it starts with the program's name, else standard output)
      {{}, alert("helper"), "S", 0, R"({"deliveredBy":"helper","content":{"title":"completed",)"},
      {{"--time-limit", "0.05"}, alert("expiry"), "S", 0, R"({"deliveredBy":"expiry","content":{)"},
      {{"--time-limit", "0.05"}, alert("mute"), "S", 1, R"({"deliveredBy":null,"content":null})"},
      {{"--time-limit", "86400"}, alert("x"), "B", 0, R"({"deliveredBy":"helper","content":{)"},
      {{"--time-limit", "0.001"}, deep, "B", 0, R"({"deliveredBy":"system")"},
      {{},
       alert("x"),
       "N",
       1,
       p + "cannot start the extension: no principal class named \"N\" is registered\n"},
      {{"--version"}, "", "N", 0, "1.2\n"},
      {{"--time-limit", "86401"},
       "",
       "B",
       2,
       p + "bad --time-limit: it must be between 0.001 and 86400 s"},
      {{}, "[" + deep + "]", "B", 2, stdinPayload + "is nested deeper than 64 levels\n"},
      {{}, std::string(1u << 20, ' ') + "{}", "B", 2, stdinPayload + "is larger than 1 MiB\n"},
      {{}, std::string((1u << 20) - 9, ' ') + R"({"aps":1})", "B", 2, p + "unusable payload: "},
      {{}, std::string(8183, ' ') + R"({"aps":{}})", "B", 0, R"({"deliveredBy":"system")"},
      {{}, R"({"badge":1e400})", "B", 2, stdinPayload + "is unusable JSON: number overflow"},
      {{}, "{", "B", 2, stdinPayload + "is not JSON: "},
      {{}, R"({"aps":[]})", "B", 2, p + "unusable payload: aps must be an object, not array\n"},
      {{"--payload", d}, "", "B", 2, p + "cannot read payload: " + d + " is not a regular file\n"},
      {{"--output", d}, alert("x"), "B", 2, p + "cannot write " + d + ": it is a directory\n"},
  };
  for (const auto& [arguments, input, principalClass, exitCode, starts] : rows) {
    std::vector<std::string> args = {"/bin/QuorvelNotificationsExtension"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::istringstream in(input);
    std::ostringstream out, err;
    EXPECT_EQ(
        runServiceExtension(args, {"com.example.x", principalClass, "1.2", "", ""}, in, out, err),
        exitCode)
        << err.str();
    const bool toErr = starts.starts_with(p);
    EXPECT_TRUE((toErr ? err : out).str().starts_with(starts)) << out.str() << err.str();
    EXPECT_EQ((toErr ? out : err).str(), "");
  }
}

}  // namespace
}  // namespace platform::usernotifications
