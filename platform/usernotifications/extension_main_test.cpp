#include "platform/usernotifications/extension_main.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "platform/foundation/bundle.h"
#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/usernotifications/service_extension.h"
#include "tests/support/test_support.h"

namespace platform::usernotifications {
namespace {

using foundation::DispatchQueue;
using nlohmann::json;

// Delivers a changed copy from a background thread, as a helper would.
class FromAnotherThread : public UNNotificationServiceExtension {
 public:
  void didReceiveNotificationRequest(std::shared_ptr<UNNotificationRequest> request,
                                     ContentHandler contentHandler) override {
    auto copy =
        std::dynamic_pointer_cast<UNMutableNotificationContent>(request->content()->mutableCopy());
    DispatchQueue::global().async([copy, contentHandler] {
      copy->setTitle("completed");
      contentHandler(copy);
      copy->setTitle("changed after delivery");  // not what was shown
      contentHandler(copy);                      // a second delivery is ignored
    });
  }
};

// Keeps the content until the time limit, then delivers it.
class OnlyAtExpiry : public UNNotificationServiceExtension {
 public:
  void didReceiveNotificationRequest(std::shared_ptr<UNNotificationRequest> request,
                                     ContentHandler contentHandler) override {
    content_ =
        std::dynamic_pointer_cast<UNMutableNotificationContent>(request->content()->mutableCopy());
    handler_ = std::move(contentHandler);
  }
  void serviceExtensionTimeWillExpire() override {
    content_->setSubtitle("best attempt");
    handler_(content_);
  }

 private:
  std::shared_ptr<UNMutableNotificationContent> content_;
  ContentHandler handler_;
};

// Never delivers.
class Mute : public UNNotificationServiceExtension {
 public:
  void didReceiveNotificationRequest(std::shared_ptr<UNNotificationRequest>,
                                     ContentHandler) override {}
};

class ExtensionMainTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    (void)registerPrincipalClass<FromAnotherThread>("ExtensionMainTest.FromAnotherThread");
    (void)registerPrincipalClass<OnlyAtExpiry>("ExtensionMainTest.OnlyAtExpiry");
    (void)registerPrincipalClass<Mute>("ExtensionMainTest.Mute");
  }

  int run(std::vector<std::string> arguments,
          const std::string& principalClass = "ExtensionMainTest.FromAnotherThread") {
    arguments.insert(arguments.begin(), "/usr/bin/QuorvelNotificationsExtension");
    std::istringstream in(stdin_);
    out_.str("");
    err_.str("");
    return runServiceExtension(arguments, {"com.example.notifications", principalClass}, in, out_,
                               err_);
  }
  json result() const { return json::parse(out_.str()); }

  std::string stdin_ = R"({"aps":{"alert":{"title":"T","body":"B"},"badge":1},"custom":"x"})";
  std::ostringstream out_;
  std::ostringstream err_;
  quorvel::testing::TempDir dir_;
};

TEST_F(ExtensionMainTest, HelperDeliveryFromAnotherThread) {
  EXPECT_EQ(run({}), 0) << err_.str();
  json output = result();
  EXPECT_EQ(output["deliveredBy"], "helper");
  EXPECT_EQ(output["content"]["title"], "completed");
  EXPECT_EQ(output["content"]["body"], "B");
  EXPECT_EQ(output["content"]["badge"], 1);
  EXPECT_EQ(output["content"]["userInfo"]["custom"], "x");
  EXPECT_EQ(err_.str(), "");
  EXPECT_EQ(out_.str().back(), '\n');
  EXPECT_EQ(foundation::mainBundleIdentifier(), "com.example.notifications");
}

TEST_F(ExtensionMainTest, ExpiryDeliveryAfterTheTimeLimit) {
  EXPECT_EQ(run({"--time-limit", "0.05"}, "ExtensionMainTest.OnlyAtExpiry"), 0) << err_.str();
  json output = result();
  EXPECT_EQ(output["deliveredBy"], "expiry");
  EXPECT_EQ(output["content"]["subtitle"], "best attempt");
}

TEST_F(ExtensionMainTest, NothingDelivered) {
  EXPECT_EQ(run({"--time-limit", "0.05"}, "ExtensionMainTest.Mute"), 1);
  EXPECT_EQ(result(), json::parse(R"({"deliveredBy":null,"content":null})"));
}

TEST_F(ExtensionMainTest, ReadsAPayloadFileAndWritesAnOutputFile) {
  auto payload = dir_.path() / "payload.json";
  auto output = dir_.path() / "out.json";
  quorvel::testing::writeFileBytes(payload, R"({"aps":{"alert":"From a file"}})");
  EXPECT_EQ(run({"--payload", payload.string(), "--output", output.string()}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "");
  json written = json::parse(quorvel::testing::readFileBytes(output));
  EXPECT_EQ(written["content"]["body"], "From a file");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}),
            2);  // no temporary left
}

TEST_F(ExtensionMainTest, WritesIntoAPipeWithoutReplacingIt) {
  auto fifo = dir_.path() / "result.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Opened for reading first (without waiting), so the extension's write
  // finds a reader and the line waits in the pipe.
  int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(run({"--output", fifo.string()}), 0) << err_.str();
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  char buffer[4096];
  ssize_t n = ::read(reader, buffer, sizeof(buffer));
  ::close(reader);
  ASSERT_GT(n, 0);
  EXPECT_EQ(json::parse(std::string(buffer, static_cast<size_t>(n)))["deliveredBy"], "helper");
}

TEST_F(ExtensionMainTest, ReplacesTheFileBehindALinkAndKeepsTheLink) {
  auto target = dir_.path() / "real.json";
  auto link = dir_.path() / "link.json";
  quorvel::testing::writeFileBytes(target, "old");
  std::filesystem::create_symlink(target, link);
  EXPECT_EQ(run({"--output", link.string()}), 0) << err_.str();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(json::parse(quorvel::testing::readFileBytes(target))["deliveredBy"], "helper");
}

TEST_F(ExtensionMainTest, RefusesADirectoryAsOutput) {
  EXPECT_EQ(run({"--output", dir_.path().string()}), 2);
  EXPECT_EQ(err_.str(), "QuorvelNotificationsExtension: cannot write " + dir_.path().string() +
                            ": it is a directory\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.path()));
}

TEST_F(ExtensionMainTest, HelpGoesToStandardOutput) {
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_NE(out_.str().find("--time-limit"), std::string::npos);
  EXPECT_NE(out_.str().find("--payload"), std::string::npos);
}

TEST_F(ExtensionMainTest, UsageErrors) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--bogus"},
                                                    {"--time-limit", "0"},
                                                    {"--time-limit", "soon"},
                                                    {"--time-limit", "-1"},
                                                    {"--time-limit", "nan"},
                                                    {"--time-limit", "1e9"},
                                                    {"extra"},
                                                    {"--payload"}}) {
    EXPECT_EQ(run(arguments), 2) << arguments[0];
    EXPECT_EQ(out_.str(), "") << arguments[0];
    EXPECT_EQ(err_.str().rfind("QuorvelNotificationsExtension: ", 0), 0u) << err_.str();
  }
}

TEST_F(ExtensionMainTest, PayloadThatIsNotJson) {
  stdin_ = "{\"aps\": nope";
  EXPECT_EQ(run({}), 2);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(
      err_.str().rfind(
          "QuorvelNotificationsExtension: payload from standard input is not JSON: parse error", 0),
      0u)
      << err_.str();
}

TEST_F(ExtensionMainTest, PayloadWithANumberPastTheRangeOfADouble) {
  // Well-formed JSON the parser reports with an exception of another kind,
  // which once ended the process.
  for (const char* number : {"1e400", "-1e+9999"}) {
    stdin_ = std::string(R"({"aps":{"badge":)") + number + "}}";
    EXPECT_EQ(run({}), 2) << number;
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str(),
              "QuorvelNotificationsExtension: payload from standard input is unusable JSON: "
              "number overflow parsing '" +
                  std::string(number) + "'\n");
  }
}

TEST_F(ExtensionMainTest, PayloadWithWrongTypes) {
  stdin_ = R"({"aps":{"badge":"many"}})";
  EXPECT_EQ(run({}), 2);
  EXPECT_EQ(err_.str(),
            "QuorvelNotificationsExtension: unusable payload: aps.badge must be a whole number, "
            "not string\n");
}

TEST_F(ExtensionMainTest, DeeplyNestedPayload) {
  auto nested = [](size_t levels) {
    // The payload object itself is the first level.
    return R"({"aps":{"alert":"deep"},"k":)" + std::string(levels - 1, '[') +
           std::string(levels - 1, ']') + "}";
  };
  stdin_ = nested(kMaxPayloadNesting);
  EXPECT_EQ(run({}), 0) << err_.str();
  EXPECT_EQ(result()["content"]["body"], "deep");
  // Just past the limit, and a megabyte of brackets that once overflowed the
  // stack while the payload was copied.
  for (size_t levels : {size_t{kMaxPayloadNesting} + 1, size_t{500000}}) {
    stdin_ = nested(levels);
    EXPECT_EQ(run({}), 2) << levels;
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str(),
              "QuorvelNotificationsExtension: payload from standard input is nested deeper than "
              "64 levels\n");
  }
}

TEST_F(ExtensionMainTest, UnreadablePayloadFiles) {
  EXPECT_EQ(run({"--payload", (dir_.path() / "missing.json").string()}), 2);
  EXPECT_EQ(err_.str(), "QuorvelNotificationsExtension: cannot read payload " +
                            (dir_.path() / "missing.json").string() +
                            ": No such file or directory\n");
  EXPECT_EQ(run({"--payload", dir_.path().string()}), 2);
  EXPECT_EQ(err_.str(), "QuorvelNotificationsExtension: cannot read payload " +
                            dir_.path().string() + ": it is a directory\n");
}

TEST_F(ExtensionMainTest, OversizedPayload) {
  stdin_ = std::string(2u << 20, ' ');
  EXPECT_EQ(run({}), 2);
  EXPECT_EQ(err_.str(),
            "QuorvelNotificationsExtension: payload from standard input is larger than 1 MiB\n");
}

TEST_F(ExtensionMainTest, UnwritableOutput) {
  auto output = dir_.path() / "no" / "such" / "dir.json";
  EXPECT_EQ(run({"--output", output.string()}), 2);
  EXPECT_EQ(err_.str().rfind("QuorvelNotificationsExtension: cannot write " + output.string(), 0),
            0u)
      << err_.str();
}

TEST_F(ExtensionMainTest, UnknownPrincipalClass) {
  EXPECT_EQ(run({}, "ExtensionMainTest.Missing"), 1);
  EXPECT_EQ(err_.str(),
            "QuorvelNotificationsExtension: no principal class named \"ExtensionMainTest.Missing\" "
            "is registered\n");
}

}  // namespace
}  // namespace platform::usernotifications
