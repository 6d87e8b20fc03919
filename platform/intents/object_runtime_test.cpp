#include "platform/intents/object_runtime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/intents/intent.h"
#include "tests/support/test_support.h"

namespace platform::intents {
namespace {

using foundation::Status;

// The registry is process-wide and keeps what it is given, so every test
// registers fresh names (also when the suite is repeated in one process).
std::string freshName(const std::string& base) {
  static std::atomic<int> counter{0};
  return base + std::to_string(++counter);
}

class Gadget : public NSObject {
 public:
  Gadget() = default;
  explicit Gadget(const NSCoder& coder) : label(coder.decodeString("label").value_or("")) {}
  std::string_view className() const override { return "RuntimeTest.Gadget"; }
  std::string label = "fresh";
};

TEST(ObjectRuntimeTest, CreatesRegisteredClassesByName) {
  const std::string name = freshName("RuntimeTest.Gadget");
  ASSERT_OK(registerClass<Gadget>(name));
  EXPECT_TRUE(isClassRegistered(name));
  auto gadget = createInstanceOf<Gadget>(name);
  ASSERT_NE(gadget, nullptr);
  EXPECT_EQ(gadget->className(), "RuntimeTest.Gadget");
  EXPECT_EQ(gadget->label, "fresh");
}

TEST(ObjectRuntimeTest, EachCreationIsANewInstance) {
  const std::string name = freshName("RuntimeTest.Fresh");
  ASSERT_OK(registerClass<Gadget>(name));
  EXPECT_NE(createInstance(name), createInstance(name));
}

TEST(ObjectRuntimeTest, CreatesFromAnArchive) {
  const std::string archivedName = freshName("RuntimeTest.Archived");
  ASSERT_OK(registerClass<Gadget>(archivedName));
  NSCoder coder;
  coder.encode("label", "from archive");
  auto gadget = createInstanceOf<Gadget>(archivedName, coder);
  ASSERT_NE(gadget, nullptr);
  EXPECT_EQ(gadget->label, "from archive");
}

TEST(ObjectRuntimeTest, ListsRegisteredNames) {
  const std::string listedName = freshName("RuntimeTest.Listed");
  ASSERT_OK(registerClass<Gadget>(listedName));
  auto names = registeredClassNames();
  EXPECT_NE(std::find(names.begin(), names.end(), listedName), names.end());
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

TEST(ObjectRuntimeTest, UnknownNameGivesNothing) {
  EXPECT_FALSE(isClassRegistered("RuntimeTest.Unknown"));
  EXPECT_EQ(createInstance("RuntimeTest.Unknown"), nullptr);
  EXPECT_EQ(createInstance("RuntimeTest.Unknown", NSCoder()), nullptr);
  EXPECT_FALSE(isClassRegistered(""));
}

TEST(ObjectRuntimeTest, NamesAreExact) {
  const std::string exactName = freshName("RuntimeTest.Exact");
  ASSERT_OK(registerClass<Gadget>(exactName));
  EXPECT_FALSE(isClassRegistered("runtimetest.exact"));
  EXPECT_FALSE(isClassRegistered("Exact"));
  EXPECT_FALSE(isClassRegistered("Module.RuntimeTest.Exact"));
}

TEST(ObjectRuntimeTest, WrongTypeGivesNothing) {
  const std::string notAnIntentName = freshName("RuntimeTest.NotAnIntent");
  ASSERT_OK(registerClass<Gadget>(notAnIntentName));
  EXPECT_EQ(createInstanceOf<INIntent>(notAnIntentName), nullptr);
}

TEST(ObjectRuntimeTest, RefusesASecondClassUnderOneName) {
  const std::string takenName = freshName("RuntimeTest.Taken");
  ASSERT_OK(registerClass<Gadget>(takenName));
  Status second = registerClass<INIntent>(takenName);
  EXPECT_EQ(second.code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(second.localizedDescription(), "class \"" + takenName + "\" is already registered");
  EXPECT_NE(createInstanceOf<Gadget>(takenName), nullptr);
}

TEST(ObjectRuntimeTest, RefusesIncompleteClasses) {
  Status unnamed = registerClass<Gadget>("");
  EXPECT_EQ(unnamed.code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(unnamed.localizedDescription(), "a class needs a name to be registered");

  Status noArchive =
      registerClass(ObjectClass{"RuntimeTest.Half", [] { return std::make_shared<Gadget>(); }, {}});
  EXPECT_EQ(noArchive.code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(noArchive.localizedDescription(),
            "class \"RuntimeTest.Half\" needs both initializers to be registered");
  EXPECT_FALSE(isClassRegistered("RuntimeTest.Half"));
}

TEST(ObjectRuntimeTest, UnknownPropertyKeys) {
  Gadget gadget;
  EXPECT_TRUE(gadget.valueForKey("nothing").is_null());
  Status status = gadget.setValueForKey("nothing", 1);
  EXPECT_EQ(status.code(), Status::Code::kNotFound);
  EXPECT_EQ(status.localizedDescription(), "RuntimeTest.Gadget has no property \"nothing\"");
}

TEST(ObjectRuntimeTest, ConcurrentRegistrationKeepsExactlyOneWinner) {
  const std::string racedName = freshName("RuntimeTest.Raced");
  std::atomic<int> accepted{0};
  std::atomic<int> created{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      if (registerClass<Gadget>(racedName).ok()) ++accepted;
      for (int j = 0; j < 50; ++j) {
        if (createInstance(racedName) != nullptr) ++created;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(accepted.load(), 1);
  EXPECT_EQ(created.load(), 400);  // each thread looked up after its own attempt
}

}  // namespace
}  // namespace platform::intents
