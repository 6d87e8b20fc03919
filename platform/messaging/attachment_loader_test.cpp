#include "platform/messaging/attachment_loader.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/foundation/bundle.h"
#include "platform/messaging/extension_helper.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_support.h"

namespace platform::messaging {
namespace {

using foundation::Status;
using usernotifications::UNNotificationContent;
using AttachmentResult = foundation::Result<usernotifications::UNNotificationAttachment>;

AttachmentResult load(const std::string& url, AttachmentOptions options = {}) {
  return quorvel::testing::awaitCompletion<AttachmentResult>(
             [&](auto completion) { loadAttachment(url, options, completion); })
      .value_or(Status::TimedOut("no completion"));
}

TEST(AttachmentLoaderTest, StoresOnlyImagesItCanShowInAPrivateFolder) {
  using enum Status::Code;
  quorvel::testing::ScopedHome home;
  foundation::setMainBundleIdentifier("com.example.x+y");
  const std::filesystem::path folder = home.path() / "Containers" / "com.example.x+y" / "tmp";
  const std::string png = std::string("\x89PNG\r\n\x1a\n", 8), jpeg = "\xFF\xD8\xFF\xE0";
  const std::string tenMiB = png + std::string((10u << 20) - png.size(), 'x');
  // Serves at "/<n>" the status, content type and body of row n; a body
  // "stall" waits for the gate, a type "->" redirects to the body.
  const std::tuple<int, std::string, std::string, AttachmentOptions, Status::Code, std::string>
      rows[] = {
          // served status, type, body; options -> code, type or message
          {200, "image/png", png, {}, kOk, "public.png"},
          {200, "image/jpeg", jpeg, {}, kOk, "public.jpeg"},
          {200, "image/jpg", jpeg, {}, kOk, "public.jpeg"},
          {299, "image/gif; charset=binary", "GIF8", {}, kOk, "com.compuserve.gif"},
          {200, "image/png", tenMiB, {}, kOk, "public.png"},
          {200, "image/png", png, {.maxBytes = 7}, kTooLarge, "The resource exceeds the maximum"},
          {300, "image/png", png, {}, kHttpStatus, "image request answered with status 300"},
          {200, "text/html", png, {}, kUnsupported, "content type \"text/html\" is not an image"},
          {200, "image/gif", png, {}, kUnsupported, "the bytes served as image/gif are not such"},
          {200, "image/png", png.substr(0, 7), {}, kUnsupported, "the bytes served as image/png"},
          {200, "image/png", "stall", {.timeout = {}}, kTimedOut, "The request timed out."},
          {302, "->", "file:///etc/passwd", {}, kUnsupported, "unsupported URL"},
      };
  quorvel::testing::Gate gate;
  quorvel::testing::LoopbackServer server, closed;
  server.server().Get(R"(/(\d+))", [&](const httplib::Request& request, httplib::Response& res) {
    const auto& [status, type, body, options, code, text] = rows[std::stoul(request.matches[1])];
    if (body == "stall") gate.waitOpen();
    if (type == "->") return res.set_redirect(body);
    res.status = status;
    res.set_content(body, type);
  });
  server.start();
  const std::string stored =
      "file://" + home.path().string() + "/Containers/com.example.x%2By/tmp/";
  for (size_t n = 0; n < std::size(rows); ++n) {
    const auto& [status, type, body, options, code, text] = rows[n];
    const auto result = load(server.url("/" + std::to_string(n)), options);
    EXPECT_EQ(result.status.code(), code) << n << ": " << result.status.localizedDescription();
    EXPECT_TRUE(result.ok() || result.status.localizedDescription().starts_with(text)) << n;
    if (!result.ok()) continue;
    EXPECT_EQ(result.value->type, text) << n;
    ASSERT_TRUE(result.value->url.starts_with(stored)) << result.value->url;
    const std::filesystem::path file = folder / result.value->url.substr(stored.size());
    EXPECT_EQ(file.extension(), text == "public.jpeg" ? ".jpg" : text.substr(text.size() - 4));
    EXPECT_EQ(quorvel::testing::readFileBytes(file), body) << n;
  }
  gate.open();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 5);
  const std::string refused = closed.start();
  closed.stop();
  for (const std::string& url : {refused, "https" + refused.substr(4)}) {
    EXPECT_EQ(load(url).status, Status::Network("Could not connect to the server.")) << url;
  }
  for (const std::string& url : {std::string("file:///etc/passwd"), "http:" + refused.substr(6)}) {
    EXPECT_EQ(load(url).status, Status::InvalidArgument("image address must be http or https"));
  }
  const std::string png0 = server.url("/0");
  // The content comes back unchanged: the image is too large for the
  // helper's options, or there is none to fetch and it is delivered at once.
  const std::pair<nlohmann::json, bool> helperRows[] = {
      // userInfo, whether it names an image to fetch
      {{{"fcm_options", {{"image", png0}}}}, true},
      {{{"fcm_options", {{"image", ""}}}}, false},
      {{{"fcm_options", {{"image", 5}}}}, false},
      {{{"fcm_options", png0}}, false},
      {nlohmann::json::array(), false},
  };
  FIRMessagingExtensionHelper helper;
  helper.setOptions({.maxBytes = 4});
  for (const auto& [userInfo, fetches] : helperRows) {
    UNNotificationContent::Fields fields;
    fields.userInfo = userInfo;
    auto content = std::make_shared<usernotifications::UNMutableNotificationContent>(fields);
    std::atomic<int> calls = 0, callsWithin = 0;
    EXPECT_EQ(quorvel::testing::awaitCompletion<std::shared_ptr<UNNotificationContent>>(
                  [&](auto handler) {
                    helper.populateNotificationContent(
                        content, [&calls, handler](auto c) { ++calls, handler(c); });
                    callsWithin = calls.load();
                  }),
              content);
    EXPECT_TRUE(fetches || callsWithin == 1) << userInfo;
    EXPECT_EQ(content->fields(), fields) << userInfo;
  }
  EXPECT_EQ(quorvel::testing::awaitCompletion<std::shared_ptr<UNNotificationContent>>(
                [&](auto handler) { helper.populateNotificationContent(nullptr, handler); }),
            nullptr);
  std::filesystem::permissions(folder, std::filesystem::perms::all);
  EXPECT_OK(load(png0).status);
  EXPECT_EQ(std::filesystem::symlink_status(folder).permissions(), std::filesystem::perms(0700));
  quorvel::testing::TempDir elsewhere;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directory_symlink(elsewhere.path(), folder);
  EXPECT_EQ(load(png0).status.code(), kIOError);
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
  std::string deep = home.path();  // so deep that a file's path in its folder is too long
  while (deep.size() < 4039) deep += "/" + std::string(std::min(200ul, 4038 - deep.size()), 'd');
  const quorvel::testing::ScopedEnv deepHome("QUORVEL_HOME", deep);
  EXPECT_TRUE(load(png0).status.localizedDescription().ends_with(".png: File name too long"));
  foundation::setMainBundleIdentifier("..");
  EXPECT_EQ(load(png0).status, Status::IOError("bundle identifier \"..\" cannot name a folder"));
}

}  // namespace
}  // namespace platform::messaging
