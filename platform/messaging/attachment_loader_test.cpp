#include "platform/messaging/attachment_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <memory>

#include "platform/foundation/bundle.h"
#include "platform/net/local_test_server.h"
#include "tests/support/test_support.h"

namespace platform::messaging {
namespace {

using foundation::Status;
using net::testing::LocalTestServer;
using usernotifications::UNNotificationAttachment;
using AttachmentResult = foundation::Result<UNNotificationAttachment>;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "not really pixels";
const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "jpeg body";
const std::string kGif = "GIF89a gif body";

mode_t permissions(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

std::filesystem::path pathOf(const std::string& fileURL) {
  EXPECT_EQ(fileURL.rfind("file://", 0), 0u) << fileURL;
  return fileURL.substr(7);
}

class AttachmentLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    foundation::setMainBundleIdentifier("com.example.notifications");
    server_.server().Get("/image.png", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kPng, "image/png");
    });
    server_.server().Get("/image.jpg", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kJpeg, "image/jpeg");
    });
    server_.server().Get("/image.gif", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kGif, "image/gif; charset=binary");
    });
    server_.server().Get("/page.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<html></html>", "text/html");
    });
    server_.server().Get("/image.webp", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("RIFF....WEBP", "image/webp");
    });
    server_.server().Get("/fake.png", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<html>not a png</html>", "image/png");
    });
    server_.server().Get("/missing.png", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content(kPng, "image/png");
    });
    server_.server().Get("/huge.png", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kPng + std::string(4096, 'x'), "image/png");
    });
    server_.server().Get("/to-passwd", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("file:///etc/passwd");
    });
    server_.server().Get("/stalled.png", [this](const httplib::Request&, httplib::Response& res) {
      ++stalledRequests_;
      gate_.waitOpen();
      res.set_content(kPng, "image/png");
    });
    server_.start();
  }
  void TearDown() override { gate_.open(); }

  AttachmentResult load(const std::string& url, AttachmentOptions options = {}) {
    auto delivery = net::testing::awaitDelivery<AttachmentResult>(
        [&](auto completion) { loadAttachment(url, options, completion); });
    std::lock_guard lock(delivery->mutex);
    EXPECT_EQ(delivery->calls, 1) << url;
    return delivery->response.value_or(AttachmentResult(Status::TimedOut("no call")));
  }

  quorvel::testing::ScopedHome home_;
  LocalTestServer server_;
  net::testing::Gate gate_;
  std::atomic<int> stalledRequests_{0};
};

TEST_F(AttachmentLoaderTest, StoresAPngAsAPrivateFile) {
  AttachmentResult result = load(server_.url("/image.png"));
  ASSERT_OK(result.status);
  EXPECT_EQ(result.value->identifier, "image");
  EXPECT_EQ(result.value->type, "public.png");
  std::filesystem::path file = pathOf(result.value->url);
  EXPECT_EQ(file.parent_path(), home_.path() / "Containers" / "com.example.notifications" / "tmp");
  EXPECT_EQ(file.extension(), ".png");
  EXPECT_EQ(quorvel::testing::readFileBytes(file), kPng);
  EXPECT_EQ(permissions(file), 0600);
  EXPECT_EQ(permissions(file.parent_path()), 0700);
}

TEST_F(AttachmentLoaderTest, NamesTheTypeOfEachImageKind) {
  struct Row {
    std::string path;
    std::string type;
    std::string extension;
  };
  for (const Row& row : {Row{"/image.jpg", "public.jpeg", ".jpg"},
                         Row{"/image.gif", "com.compuserve.gif", ".gif"}}) {
    AttachmentResult result = load(server_.url(row.path));
    ASSERT_OK(result.status) << row.path;
    EXPECT_EQ(result.value->type, row.type);
    EXPECT_EQ(pathOf(result.value->url).extension(), row.extension);
  }
}

TEST_F(AttachmentLoaderTest, EveryLoadGetsItsOwnFile) {
  AttachmentResult first = load(server_.url("/image.png"));
  AttachmentResult second = load(server_.url("/image.png"));
  ASSERT_OK(first.status);
  ASSERT_OK(second.status);
  EXPECT_NE(first.value->url, second.value->url);
}

TEST_F(AttachmentLoaderTest, RefusesAddressesThatAreNotHttp) {
  for (const char* url :
       {"file:///etc/passwd", "FILE:///etc/passwd", "ftp://127.0.0.1/x.png",
        "data:image/png;base64,iVBORw0KGgo=", "/etc/passwd", "", "httpx://host/x.png"}) {
    AttachmentResult result = load(url);
    EXPECT_EQ(result.status.code(), Status::Code::kInvalidArgument) << url;
    EXPECT_EQ(result.status.localizedDescription(), "image address must be http or https") << url;
  }
  EXPECT_FALSE(std::filesystem::exists(home_.path() / "Containers"));
}

TEST_F(AttachmentLoaderTest, RefusesARedirectToALocalFile) {
  AttachmentResult result = load(server_.url("/to-passwd"));
  EXPECT_FALSE(result.ok());
  EXPECT_FALSE(std::filesystem::exists(home_.path() / "Containers"));
}

TEST_F(AttachmentLoaderTest, RefusesContentThatIsNoAttachableImage) {
  AttachmentResult html = load(server_.url("/page.html"));
  EXPECT_EQ(html.status.code(), Status::Code::kUnsupported);
  EXPECT_EQ(html.status.localizedDescription(),
            "content type \"text/html\" is not an image a notification can show");
  EXPECT_EQ(load(server_.url("/image.webp")).status.code(), Status::Code::kUnsupported);
  AttachmentResult fake = load(server_.url("/fake.png"));
  EXPECT_EQ(fake.status.code(), Status::Code::kUnsupported);
  EXPECT_EQ(fake.status.localizedDescription(),
            "the bytes served as image/png are not such an image");
}

TEST_F(AttachmentLoaderTest, RefusesAnErrorStatus) {
  AttachmentResult result = load(server_.url("/missing.png"));
  EXPECT_EQ(result.status.code(), Status::Code::kHttpStatus);
  EXPECT_EQ(result.status.localizedDescription(), "image request answered with status 404");
}

TEST_F(AttachmentLoaderTest, RefusesAnImageOverTheCap) {
  AttachmentOptions options;
  options.maxBytes = 1024;
  EXPECT_EQ(load(server_.url("/huge.png"), options).status.code(), Status::Code::kTooLarge);
  EXPECT_FALSE(
      std::filesystem::exists(home_.path() / "Containers" / "com.example.notifications" / "tmp"));
}

TEST_F(AttachmentLoaderTest, GivesUpOnAStalledServer) {
  AttachmentOptions options;
  options.timeout = std::chrono::milliseconds(300);
  EXPECT_EQ(load(server_.url("/stalled.png"), options).status.code(), Status::Code::kTimedOut);
  EXPECT_EQ(stalledRequests_.load(), 1);
}

TEST_F(AttachmentLoaderTest, ReportsARefusedConnection) {
  net::testing::RefusingPort port;
  AttachmentResult result = load("http://127.0.0.1:" + std::to_string(port.port()) + "/image.png");
  EXPECT_EQ(result.status.code(), Status::Code::kNetwork);
}

TEST_F(AttachmentLoaderTest, RefusesAFolderThatIsALink) {
  quorvel::testing::TempDir elsewhere;
  std::filesystem::path container = home_.path() / "Containers" / "com.example.notifications";
  std::filesystem::create_directories(container);
  std::filesystem::create_directory_symlink(elsewhere.path(), container / "tmp");
  AttachmentResult result = load(server_.url("/image.png"));
  EXPECT_EQ(result.status.code(), Status::Code::kIOError);
  EXPECT_EQ(result.status.localizedDescription(),
            (container / "tmp").string() + " is not a directory of this user; refusing to use it");
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
}

TEST_F(AttachmentLoaderTest, TightensAnOpenFolder) {
  std::filesystem::path directory =
      home_.path() / "Containers" / "com.example.notifications" / "tmp";
  std::filesystem::create_directories(directory);
  std::filesystem::permissions(directory, std::filesystem::perms::all);
  ASSERT_OK(load(server_.url("/image.png")).status);
  EXPECT_EQ(permissions(directory), 0700);
}

TEST(ImageTypeForMimeTypeTest, KnowsTheThreeAttachableImageKinds) {
  EXPECT_EQ(imageTypeForMimeType("image/png"), "public.png");
  EXPECT_EQ(imageTypeForMimeType("image/jpeg"), "public.jpeg");
  EXPECT_EQ(imageTypeForMimeType("image/gif"), "com.compuserve.gif");
  EXPECT_EQ(imageTypeForMimeType("image/svg+xml"), std::nullopt);
  EXPECT_EQ(imageTypeForMimeType("application/octet-stream"), std::nullopt);
  EXPECT_EQ(imageTypeForMimeType(""), std::nullopt);
}

}  // namespace
}  // namespace platform::messaging
