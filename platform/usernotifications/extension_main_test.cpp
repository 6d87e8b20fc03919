#include "platform/usernotifications/extension_main.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/foundation/dispatch/dispatch_queue.h"
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
      // payload -> the content's members but userInfo, in order, or the error
      {R"({"aps":{"alert":"Hi","badge":2.0,"sound":{"name":"alarm"}}})",
       R"(""|""|"Hi"|2|"alarm"|""|""|[]|)"},
      {R"({"aps":{"alert":null,"badge":null,"sound":null,"category":null}})",
       R"(""|""|""|null|null|""|""|[]|)"},
      {R"({"aps":{"badge":9223372036854775807}})",
       R"(""|""|""|9223372036854775807|null|""|""|[]|)"},
      {R"({"aps":{"badge":9223372036854775808}})", "aps.badge is too large"},
      {R"({"aps":{"badge":-9.0e15}})", "aps.badge must be a whole number, not number"},
      {R"({"aps":{"badge":2.5}})", "aps.badge must be a whole number, not number"},
      {R"([1])", "the payload must be a JSON object, not array"},
      {R"({"aps":{"alert":{"body":true}}})", "aps.alert.body must be a string, not boolean"},
      {R"({"aps":{"sound":{"critical":1}}})", "aps.sound needs a string \"name\""},
  };
  for (const auto& [text, expected] : rows) {
    const json payload = json::parse(text);
    const auto request = UNNotificationRequest::fromPayload(payload);
    std::string got = request.ok() ? "" : request.status.localizedDescription();
    if (request.ok()) {
      auto content = toJSON((*request.value)->content()->fields());
      EXPECT_EQ(content["userInfo"], payload);
      content.erase("userInfo");
      for (const auto& [key, value] : content.items()) got += value.dump() + "|";
    }
    EXPECT_EQ(got, expected) << text;
  }
}

TEST(ExtensionMainTest, RunsThePrincipalClassOnAPayload) {
  ASSERT_OK(registerPrincipalClass<Scripted>("S"));
  ASSERT_OK(registerPrincipalClass<UNNotificationServiceExtension>("B"));
  UNNotificationServiceExtension().didReceiveNotificationRequest(nullptr, [](auto) { FAIL(); });
  UNNotificationServiceExtension().didReceiveNotificationRequest(
      *UNNotificationRequest::fromPayload(json::object()).value, nullptr);
  EXPECT_EQ(registerPrincipalClass<Scripted>("B"),
            Status::InvalidArgument("principal class \"B\" is already registered"));
  EXPECT_EQ(registerPrincipalClass<Scripted>("").localizedDescription(),
            "a principal class needs a name");
  EXPECT_EQ(registerPrincipalClass("N", nullptr),
            Status::InvalidArgument("principal class \"N\" needs a factory"));
  quorvel::testing::TempDir dir;
  const std::string d = dir.path().string(), p = "QuorvelNotificationsExtension: ";
  const auto alert = [](const std::string& body) { return R"({"aps":{"alert":")" + body + "\"}}"; };
  const std::string deep = R"({"k":)" + std::string(63, '[') + "1" + std::string(63, ']') + "}";
  const std::string stdinPayload = p + "payload from standard input ";
  const std::tuple<std::vector<std::string>, std::string, std::string, int, std::string> rows[] = {
      // arguments, standard input, principal class -> exit status, how the output starts
      // (standard error when it starts with the program's name, else standard output)
      {{}, alert("helper"), "S", 0, R"({"deliveredBy":"helper","content":{"title":"completed",)"},
      {{"--time-limit", "0.05"}, alert("expiry"), "S", 0, R"({"deliveredBy":"expiry","content":{)"},
      {{"--time-limit", "0.05"}, alert("mute"), "S", 1, R"({"deliveredBy":null,"content":null})"},
      {{"--time-limit", "86400"}, alert("x"), "B", 0, R"({"deliveredBy":"helper","content":{)"},
      {{"--time-limit", "0.001"}, deep, "B", 0, R"({"deliveredBy":"helper")"},
      {{}, alert("x"), "N", 1, p + "no principal class named \"N\" is registered\n"},
      {{"--time-limit", "86401"}, "", "B", 2, p + "--time-limit must be between 0.001 and 86400 s"},
      {{}, "[" + deep + "]", "B", 2, stdinPayload + "is nested deeper than 64 levels\n"},
      {{}, std::string(1u << 20, ' ') + "{}", "B", 2, stdinPayload + "is larger than 1 MiB\n"},
      {{}, std::string((1u << 20) - 2, ' ') + "{}", "B", 0, R"({"deliveredBy":"helper")"},
      {{}, R"({"badge":1e400})", "B", 2, stdinPayload + "is unusable JSON: number overflow"},
      {{}, R"({"aps":[]})", "B", 2, p + "unusable payload: aps must be an object, not array\n"},
      {{"--payload", d}, "", "B", 2, p + "cannot read payload " + d + ": it is a directory\n"},
      {{"--output", d}, alert("x"), "B", 2, p + "cannot write " + d + ": it is a directory\n"},
  };
  for (const auto& [arguments, input, principalClass, exitCode, starts] : rows) {
    std::vector<std::string> args = {"/bin/QuorvelNotificationsExtension"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::istringstream in(input);
    std::ostringstream out, err;
    EXPECT_EQ(runServiceExtension(args, {"com.example.x", principalClass}, in, out, err), exitCode)
        << err.str();
    const bool toErr = starts.starts_with(p);
    EXPECT_TRUE((toErr ? err : out).str().starts_with(starts)) << out.str() << err.str();
    EXPECT_EQ((toErr ? out : err).str(), "");
  }
}

}  // namespace
}  // namespace platform::usernotifications
