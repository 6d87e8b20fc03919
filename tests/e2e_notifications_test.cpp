// End-to-end tests of QuorvelNotificationsExtension: the built executable
// run as a process on payload files, with images served from 127.0.0.1.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <optional>

#include "platform/net/local_test_server.h"
#include "tests/support/process.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using nlohmann::json;

const std::string kPng =
    std::string("\x89PNG\r\n\x1a\n", 8) + std::string("\0\0\0\rIHDR", 8) + "pixels";
constexpr char kBundleIdentifier[] = "com.tavrin.quorvel.notifications";

using testing::ProcessResult;

// Runs the extension with `args`, standard input from `input` (or
// /dev/null), and collects its exit status and both output streams.
ProcessResult runExtension(const std::vector<std::string>& args,
                           const std::optional<std::filesystem::path>& input = std::nullopt) {
  testing::ProcessOptions options;
  if (input) options.input = *input;
  return testing::runProcess("QuorvelNotificationsExtension", args, options);
}

mode_t permissions(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

class NotificationsExtensionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.server().Get("/image.png", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kPng, "image/png");
    });
    server_.server().Get("/huge.png", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kPng + std::string(10u << 20, '\0'), "image/png");
    });
    server_.server().Get("/page.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<html><body>not an image</body></html>", "text/html");
    });
    server_.server().Get("/stalled.png", [this](const httplib::Request&, httplib::Response& res) {
      gate_.waitOpen();
      res.set_content(kPng, "image/png");
    });
    server_.start();
  }
  void TearDown() override { gate_.open(); }

  // A payload file asking for the image at `path` on the test server.
  std::filesystem::path payloadWithImage(const std::string& url) {
    json payload = json::parse(testing::fixture("payloads/ordinary.json"));
    payload["fcm_options"] = {{"image", url}};
    std::filesystem::path file = files_.path() / "payload.json";
    testing::writeFileBytes(file, payload.dump());
    return file;
  }

  std::filesystem::path attachmentFolder() const {
    return home_.path() / "Containers" / kBundleIdentifier / "tmp";
  }
  bool attachmentFolderIsEmpty() const {
    std::error_code ec;
    return !std::filesystem::exists(attachmentFolder()) ||
           std::filesystem::is_empty(attachmentFolder(), ec);
  }

  testing::ScopedHome home_;
  testing::TempDir files_;
  platform::net::testing::LocalTestServer server_;
  platform::net::testing::Gate gate_;
};

TEST_F(NotificationsExtensionTest, OrdinaryPayloadIsDeliveredByTheHelper) {
  ProcessResult run =
      runExtension({"--payload", testing::fixturePath("payloads/ordinary.json").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  json output = json::parse(run.out);
  EXPECT_EQ(output["deliveredBy"], "helper");
  json expected = {
      {"title", "BTC is up"},
      {"subtitle", "Portfolio"},
      {"body", "Bitcoin rose 5.2% in the last 24 hours."},
      {"badge", 3},
      {"sound", "default"},
      {"categoryIdentifier", "price-alert"},
      {"threadIdentifier", "BTCUSDT"},
      {"attachments", json::array()},
      {"userInfo", json::parse(testing::fixture("payloads/ordinary.json"))},
  };
  EXPECT_EQ(output["content"], expected);
  EXPECT_EQ(run.out.find("{\"deliveredBy\":"), 0u);  // members in the documented order
}

TEST_F(NotificationsExtensionTest, PayloadFromStandardInputAndResultToAFile) {
  std::filesystem::path output = files_.path() / "result.json";
  ProcessResult run = runExtension({"--payload", "-", "--output", output.string()},
                                   testing::fixturePath("payloads/ordinary.json"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(json::parse(testing::readFileBytes(output))["content"]["title"], "BTC is up");
}

TEST_F(NotificationsExtensionTest, ImageIsAttachedAsAPrivateFile) {
  ProcessResult run =
      runExtension({"--payload", payloadWithImage(server_.url("/image.png")).string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  json output = json::parse(run.out);
  EXPECT_EQ(output["deliveredBy"], "helper");
  ASSERT_EQ(output["content"]["attachments"].size(), 1u) << run.out;
  json attachment = output["content"]["attachments"][0];
  EXPECT_EQ(attachment["identifier"], "image");
  EXPECT_EQ(attachment["type"], "public.png");
  const std::string url = attachment["url"];
  ASSERT_EQ(url.rfind("file://", 0), 0u) << url;
  std::filesystem::path file = url.substr(7);
  EXPECT_EQ(file.parent_path(), attachmentFolder());
  EXPECT_EQ(permissions(file), 0600);
  EXPECT_EQ(permissions(attachmentFolder()), 0700);
  EXPECT_EQ(testing::readFileBytes(file), kPng);
  EXPECT_EQ(output["content"]["body"], "Bitcoin rose 5.2% in the last 24 hours.");
}

TEST_F(NotificationsExtensionTest, StalledImageServerIsBeatenByTheExpiryPath) {
  ProcessResult run = runExtension(
      {"--payload", payloadWithImage(server_.url("/stalled.png")).string(), "--time-limit", "2"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  json output = json::parse(run.out);
  EXPECT_EQ(output["deliveredBy"], "expiry");
  EXPECT_EQ(output["content"]["title"], "BTC is up");
  EXPECT_EQ(output["content"]["attachments"], json::array());
}

TEST_F(NotificationsExtensionTest, LocalFileIsNeverAttached) {
  ProcessResult run =
      runExtension({"--payload", testing::fixturePath("payloads/file_image.json").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  json output = json::parse(run.out);
  EXPECT_EQ(output["deliveredBy"], "helper");
  EXPECT_EQ(output["content"]["attachments"], json::array());
  EXPECT_EQ(run.out.find("root:"), std::string::npos);
  EXPECT_TRUE(attachmentFolderIsEmpty());
}

TEST_F(NotificationsExtensionTest, ImageOverTheCapIsNotAttached) {
  ProcessResult run =
      runExtension({"--payload", payloadWithImage(server_.url("/huge.png")).string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  json output = json::parse(run.out);
  EXPECT_EQ(output["deliveredBy"], "helper");
  EXPECT_EQ(output["content"]["attachments"], json::array());
  EXPECT_TRUE(attachmentFolderIsEmpty());
}

TEST_F(NotificationsExtensionTest, ContentThatIsNotAnImageIsNotAttached) {
  ProcessResult run =
      runExtension({"--payload", payloadWithImage(server_.url("/page.html")).string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  json output = json::parse(run.out);
  EXPECT_EQ(output["content"]["attachments"], json::array());
  EXPECT_TRUE(attachmentFolderIsEmpty());
}

TEST_F(NotificationsExtensionTest, PayloadThatIsNotJsonIsAUsageError) {
  const std::string payload = testing::fixturePath("payloads/not_json.txt").string();
  ProcessResult run = runExtension({"--payload", payload});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(
      run.err.rfind(
          "QuorvelNotificationsExtension: payload " + payload + " is not JSON: parse error", 0),
      0u)
      << run.err;
}

TEST_F(NotificationsExtensionTest, UsageErrorsAndHelp) {
  ProcessResult badLimit = runExtension({"--time-limit", "soon"});
  EXPECT_EQ(badLimit.exitCode, 2);
  EXPECT_NE(badLimit.err.find("--time-limit"), std::string::npos) << badLimit.err;
  EXPECT_EQ(runExtension({"--unknown"}).exitCode, 2);
  EXPECT_EQ(runExtension({"--payload", (files_.path() / "missing.json").string()}).exitCode, 2);

  ProcessResult help = runExtension({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--payload"), std::string::npos);
  EXPECT_NE(help.out.find("--time-limit"), std::string::npos);
  EXPECT_NE(help.out.find("--output"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
