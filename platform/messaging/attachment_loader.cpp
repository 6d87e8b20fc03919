#include "platform/messaging/attachment_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/foundation/bundle.h"
#include "platform/foundation/container.h"
#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/foundation/file_access.h"
#include "platform/net/url.h"

namespace platform::messaging {
namespace {

using foundation::Result;
using foundation::Status;
using usernotifications::UNNotificationAttachment;
using AttachmentResult = Result<UNNotificationAttachment>;

constexpr char kAttachmentIdentifier[] = "image";
constexpr std::chrono::milliseconds kMaxConnectTimeout{10000};
constexpr int kNameAttempts = 8;

struct ImageKind {
  std::string_view mimeType;
  std::string_view type;
  std::string_view extension;
  std::string_view magic;  // the bytes every such file starts with
};

constexpr ImageKind kImageKinds[] = {
    {"image/png", "public.png", "png", std::string_view("\x89PNG\r\n\x1a\n", 8)},
    {"image/jpeg", "public.jpeg", "jpg", std::string_view("\xFF\xD8\xFF", 3)},
    {"image/jpg", "public.jpeg", "jpg", std::string_view("\xFF\xD8\xFF", 3)},
    {"image/gif", "com.compuserve.gif", "gif", "GIF8"},
};

const ImageKind* imageKind(std::string_view mimeType) {
  for (const ImageKind& kind : kImageKinds) {
    if (kind.mimeType == mimeType) return &kind;
  }
  return nullptr;
}

// `prefix` is written in lower case.
bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char lower, char c) {
           return std::tolower(static_cast<unsigned char>(c)) == lower;
         });
}

std::string randomName() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  char text[33];
  std::snprintf(text, sizeof(text), "%016llx%016llx", static_cast<unsigned long long>(generator()),
                static_cast<unsigned long long>(generator()));
  return text;
}

Status ioError(const std::string& what) {
  return Status::IOError(what + ": " + std::strerror(errno));
}

// Creates a file that did not exist before (so no link or other file can be
// written through) and writes all of `bytes`; removes it on failure.
Result<std::filesystem::path> writeNewFile(const std::filesystem::path& directory,
                                           std::string_view extension, std::string_view bytes) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::filesystem::path path = directory / (randomName() + "." + std::string(extension));
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd == -1 && errno == EEXIST) continue;
    if (fd == -1) return ioError("cannot create " + path.string());
    Status status;
    if (::fchmod(fd, 0600) != 0) status = ioError("cannot protect " + path.string());
    size_t written = 0;
    while (status.ok() && written < bytes.size()) {
      ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        status = ioError("cannot write " + path.string());
        break;
      }
      written += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && status.ok()) status = ioError("cannot write " + path.string());
    if (!status.ok()) {
      ::unlink(path.c_str());
      return status;
    }
    return path;
  }
  return Status::IOError("cannot find a free file name in " + directory.string());
}

}  // namespace

std::optional<std::string> imageTypeForMimeType(std::string_view mimeType) {
  const ImageKind* kind = imageKind(mimeType);
  if (!kind) return std::nullopt;
  return std::string(kind->type);
}

Result<std::filesystem::path> attachmentDirectory() {
  std::string bundle = foundation::mainBundleIdentifier();
  if (!foundation::isPlainFileName(bundle)) {
    return Status::IOError("bundle identifier \"" + bundle + "\" cannot name a folder");
  }
  std::filesystem::path container = foundation::extensionContainer(bundle);
  if (container.empty()) return Status::IOError("no home folder to keep attachments in");
  if (Status made = foundation::makeDirectories(container); !made.ok()) return made;
  std::filesystem::path directory = container / "tmp";
  if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    return ioError("cannot create " + directory.string());
  }
  // An existing entry must be our own real directory; then make it private.
  struct stat info {};
  if (::lstat(directory.c_str(), &info) != 0) {
    return ioError("cannot inspect " + directory.string());
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
    return Status::IOError(directory.string() +
                           " is not a directory of this user; refusing to use it");
  }
  if ((info.st_mode & 07777) != 0700 && ::chmod(directory.c_str(), 0700) != 0) {
    return ioError("cannot protect " + directory.string());
  }
  return directory;
}

AttachmentResult storeAttachment(const net::DataResponse& response) {
  if (!response.status.ok()) return AttachmentResult(response.status);
  if (response.statusCode < 200 || response.statusCode > 299) {
    return AttachmentResult(Status::HttpStatus("image request answered with status " +
                                               std::to_string(response.statusCode)));
  }
  const ImageKind* kind = imageKind(response.mimeType);
  if (!kind) {
    return AttachmentResult(Status::Unsupported("content type \"" + response.mimeType +
                                                "\" is not an image a notification can show"));
  }
  if (response.body.compare(0, kind->magic.size(), kind->magic) != 0) {
    return AttachmentResult(
        Status::Unsupported("the bytes served as " + response.mimeType + " are not such an image"));
  }
  auto directory = attachmentDirectory();
  if (!directory.ok()) return AttachmentResult(directory.status);
  auto file = writeNewFile(*directory.value, kind->extension, response.body);
  if (!file.ok()) return AttachmentResult(file.status);
  return AttachmentResult(UNNotificationAttachment{
      kAttachmentIdentifier, net::fileURL(file.value->string()), std::string(kind->type)});
}

void loadAttachment(std::string url, const AttachmentOptions& options,
                    std::function<void(AttachmentResult)> completion) {
  if (!startsWithNoCase(url, "http://") && !startsWithNoCase(url, "https://")) {
    // Anything else (file:, data:, ftp:...) would let a push read local
    // files or reach other services; it is never fetched.
    Status refused = Status::InvalidArgument("image address must be http or https");
    foundation::DispatchQueue::global().async([completion = std::move(completion), refused] {
      if (completion) completion(AttachmentResult(refused));
    });
    return;
  }
  net::RequestOptions request;
  request.httpOnly = true;
  request.maxBodyBytes = options.maxBytes;
  request.totalTimeout = options.timeout;
  request.connectTimeout = std::min(options.timeout, kMaxConnectTimeout);
  net::get(std::move(url), {}, request,
           [completion = std::move(completion)](net::DataResponse response) {
             AttachmentResult result = storeAttachment(response);
             if (completion) completion(std::move(result));
           });
}

}  // namespace platform::messaging
