#include "platform/usernotifications/service_extension.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace platform::usernotifications {
namespace {

using foundation::Status;

class Plain : public UNNotificationServiceExtension {};

// The registry keeps what it is given, so tests register fresh names (also
// when the suite is repeated in one process).
std::string freshName(const std::string& base) {
  static int counter = 0;
  return base + std::to_string(++counter);
}

TEST(PrincipalClassTest, CreatesARegisteredClassByName) {
  const std::string name = freshName("PrincipalClassTest.Plain");
  ASSERT_OK(registerPrincipalClass<Plain>(name));
  auto first = createPrincipalClass(name);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(dynamic_cast<Plain*>(first.get()), nullptr);
  EXPECT_NE(first, createPrincipalClass(name));
}

TEST(PrincipalClassTest, UnknownNameGivesNothing) {
  EXPECT_EQ(createPrincipalClass("PrincipalClassTest.Missing"), nullptr);
  EXPECT_EQ(createPrincipalClass("Plain"), nullptr);
}

TEST(PrincipalClassTest, RefusesDuplicateAndIncompleteRegistrations) {
  const std::string name = freshName("PrincipalClassTest.Once");
  ASSERT_OK(registerPrincipalClass<Plain>(name));
  Status again = registerPrincipalClass<Plain>(name);
  EXPECT_EQ(again.code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(again.localizedDescription(), "principal class \"" + name + "\" is already registered");
  EXPECT_EQ(registerPrincipalClass<Plain>("").localizedDescription(),
            "a principal class needs a name");
  EXPECT_EQ(registerPrincipalClass("PrincipalClassTest.NoFactory", nullptr).localizedDescription(),
            "principal class \"PrincipalClassTest.NoFactory\" needs a factory");
}

TEST(UNNotificationServiceExtensionTest, BaseClassDeliversTheContentUnchanged) {
  auto request =
      UNNotificationRequest::fromPayload(nlohmann::json::parse(R"({"aps":{"alert":"Hi"}})"));
  ASSERT_OK(request.status);
  Plain extension;
  int calls = 0;
  std::shared_ptr<UNNotificationContent> delivered;
  extension.didReceiveNotificationRequest(*request.value,
                                          [&](std::shared_ptr<UNNotificationContent> content) {
                                            ++calls;
                                            delivered = content;
                                          });
  extension.serviceExtensionTimeWillExpire();
  EXPECT_EQ(calls, 1);
  ASSERT_NE(delivered, nullptr);
  EXPECT_EQ(delivered->fields(), (*request.value)->content()->fields());
}

}  // namespace
}  // namespace platform::usernotifications
