#include "platform/messaging/attachment_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "platform/foundation/bundle.h"
#include "platform/messaging/extension_helper.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_support.h"

namespace platform::messaging {
namespace {

using foundation::Status;
using Code = Status::Code;
using AttachmentResult = foundation::Result<usernotifications::UNNotificationAttachment>;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";

mode_t permissions(const std::filesystem::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Serves, at "/<n>", the status, content type and body that serve(n) names;
// a body "stall" waits for the gate, a type "->" redirects to the body.
class AttachmentTest : public ::testing::Test {
 protected:
  using Served = std::tuple<int, std::string, std::string>;
  void SetUp() override {
    foundation::setMainBundleIdentifier("com.example.notifications+test");
    server_.server().Get(R"(/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
      const auto [status, type, body] = served_.at(std::stoul(req.matches[1]));
      if (body == "stall") gate_.waitOpen();
      if (type == "->") return res.set_redirect(body);
      res.status = status;
      res.set_content(body, type);
    });
    server_.start();
  }
  void TearDown() override { gate_.open(); }

  std::string serve(const Served& served) {
    served_.push_back(served);
    return server_.url("/" + std::to_string(served_.size() - 1));
  }
  AttachmentResult load(const std::string& url, AttachmentOptions options = {}) {
    return quorvel::testing::awaitCompletion<AttachmentResult>(
               [&](auto completion) { loadAttachment(url, options, completion); })
        .value_or(Status::TimedOut("no completion"));
  }

  quorvel::testing::ScopedHome home_;
  const std::filesystem::path folder_ =
      home_.path() / "Containers" / "com.example.notifications+test" / "tmp";
  std::vector<Served> served_;
  quorvel::testing::Gate gate_;
  quorvel::testing::LoopbackServer server_;
};

TEST_F(AttachmentTest, StoresOnlyImagesItCanShow) {
  quorvel::testing::LoopbackServer closed;
  const std::string refused = closed.start(), jpeg = "\xFF\xD8\xFF\xE0";
  closed.stop();
  using enum Code;
  const std::string tenMiB = kPng + std::string((10u << 20) - kPng.size(), 'x');
  const std::string notHttp = "image address must be http or https";
  const std::string tooLarge = "The resource exceeds the maximum size.";
  const std::string html = "content type \"text/html\" is not an image a notification can show";
  const std::string notSuch = "the bytes served as image/png are not such an image";
  const std::tuple<std::string, AttachmentOptions, Code, std::string> rows[] = {
      // address, options -> code, type (stored) or message (refused)
      {serve({200, "image/png", kPng}), {}, kOk, "public.png"},
      {serve({200, "image/jpeg", jpeg}), {}, kOk, "public.jpeg"},
      {serve({200, "image/jpg", jpeg}), {}, kOk, "public.jpeg"},
      {serve({200, "image/gif; charset=binary", "GIF8"}), {}, kOk, "com.compuserve.gif"},
      {serve({299, "image/png", kPng}), {}, kOk, "public.png"},
      {serve({200, "image/png", tenMiB}), {}, kOk, "public.png"},
      {serve({200, "image/png", tenMiB + "x"}), {}, kTooLarge, tooLarge},
      {serve({200, "image/png", kPng}), {.maxBytes = 13}, kTooLarge, tooLarge},
      {serve({300, "image/png", kPng}), {}, kHttpStatus, "image request answered with status 300"},
      {serve({200, "text/html", kPng}), {}, kUnsupported, html},
      {serve({200, "image/gif", kPng}), {}, kUnsupported, "the bytes served as image/gif are no"},
      {serve({200, "image/png", kPng.substr(0, 7)}), {}, kUnsupported, notSuch},
      {serve({200, "image/png", "stall"}), {.timeout = {}}, kTimedOut, "The request timed out."},
      {serve({302, "->", "file:///etc/passwd"}), {}, kUnsupported, "unsupported URL"},
      {"https" + refused.substr(4), {}, kNetwork, "Could not connect to the server."},
      {refused, {}, kNetwork, "Could not connect to the server."},
      {"file:///etc/passwd", {}, kInvalidArgument, notHttp},
      {"http:" + refused.substr(6), {}, kInvalidArgument, notHttp},
  };
  const std::string stored =
      "file://" + home_.path().string() + "/Containers/com.example.notifications%2Btest/tmp";
  std::set<std::string> files;
  for (const auto& [url, options, code, text] : rows) {
    const auto result = load(url, options);
    EXPECT_EQ(result.status.code(), code) << url << ": " << result.status.localizedDescription();
    if (!result.ok()) {
      EXPECT_TRUE(result.status.localizedDescription().starts_with(text)) << url;
      continue;
    }
    EXPECT_EQ(result.value->type, text) << url;
    EXPECT_EQ(result.value->identifier, "image");
    ASSERT_TRUE(result.value->url.starts_with(stored)) << result.value->url;
    const std::filesystem::path file = folder_.string() + result.value->url.substr(stored.size());
    EXPECT_EQ(file.extension(), text == "public.jpeg" ? ".jpg" : text.substr(text.size() - 4));
    EXPECT_EQ(quorvel::testing::readFileBytes(file),
              std::get<2>(served_.at(std::stoul(url.substr(url.rfind('/') + 1)))));
    EXPECT_EQ(permissions(file), 0600u);
    files.insert(file);
  }
  EXPECT_EQ(files.size(), 6u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 6);
  EXPECT_EQ(permissions(folder_), 0700u);
}

TEST_F(AttachmentTest, KeepsItsFolderPrivate) {
  std::filesystem::create_directories(folder_);
  std::filesystem::permissions(folder_, std::filesystem::perms::all);
  const std::string png = serve({200, "image/png", kPng});
  EXPECT_OK(load(png).status);
  EXPECT_EQ(permissions(folder_), 0700u);
  quorvel::testing::TempDir elsewhere;
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directory_symlink(elsewhere.path(), folder_);
  EXPECT_EQ(
      load(png).status,
      Status::IOError(folder_.string() + " is not a directory of this user; refusing to use it"));
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
  foundation::setMainBundleIdentifier("..");
  EXPECT_EQ(load(png).status, Status::IOError("bundle identifier \"..\" cannot name a folder"));
}

TEST_F(AttachmentTest, TheHelperAttachesWhatItCanAndAlwaysDelivers) {
  using usernotifications::UNNotificationContent;
  const std::string png = serve({200, "image/png", kPng}), html = serve({200, "text/html", kPng});
  const std::tuple<nlohmann::json, size_t, AttachmentOptions> rows[] = {
      // userInfo -> attachments, with these options
      {{{"fcm_options", {{"image", png}}}}, 1, {}},
      {{{"fcm_options", {{"image", png}}}}, 0, {.maxBytes = 4}},
      {{{"fcm_options", {{"image", html}}}}, 0, {}},
      {{{"fcm_options", {{"image", ""}}}}, 0, {}},
      {{{"fcm_options", {{"image", 5}}}}, 0, {}},
      {{{"fcm_options", png}}, 0, {}},
      {{{"image", png}}, 0, {}},
      {nlohmann::json::array(), 0, {}},
  };
  FIRMessagingExtensionHelper helper;
  for (const auto& [userInfo, attachments, options] : rows) {
    helper.setOptions(options);
    UNNotificationContent::Fields fields;
    fields.userInfo = userInfo;
    auto content = std::make_shared<usernotifications::UNMutableNotificationContent>(fields);
    const auto delivered =
        quorvel::testing::awaitCompletion<std::shared_ptr<UNNotificationContent>>(
            [&](auto handler) { helper.populateNotificationContent(content, handler); });
    EXPECT_EQ(delivered, content) << userInfo;
    fields.attachments = content->attachments();
    EXPECT_EQ(fields.attachments.size(), attachments) << userInfo;
    EXPECT_EQ(content->fields(), fields);
  }
  const auto nothing = quorvel::testing::awaitCompletion<std::shared_ptr<UNNotificationContent>>(
      [&](auto handler) { helper.populateNotificationContent(nullptr, handler); });
  EXPECT_EQ(nothing, nullptr);
}

}  // namespace
}  // namespace platform::messaging
