#include "platform/usernotifications/delivered_attachments.h"

#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/foundation/container.h"
#include "platform/net/url.h"

namespace platform::usernotifications {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFileScheme = "file://";

bool isInside(const fs::path& file, const fs::path& folder) {
  auto [end, _] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
  return end == folder.end();
}

void removeOldest(const fs::path& root, std::vector<std::string>& notes) {
  std::error_code error;
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(root, error)) folders.push_back(entry.path());
  if (folders.size() <= kKeptNotificationAttachments) return;
  std::sort(folders.begin(), folders.end());
  for (std::size_t i = 0; i + kKeptNotificationAttachments < folders.size(); ++i) {
    if (fs::remove_all(folders[i], error); error)
      notes.push_back("cannot remove " + folders[i].string() + ": " + error.message());
  }
}

}  // namespace

fs::path pathOfFileURL(const std::string& url) {
  if (!url.starts_with(kFileScheme)) return {};
  return fs::path(net::percentDecode(std::string_view(url).substr(kFileScheme.size())))
      .lexically_normal();
}

fs::path deliveredAttachmentsFolder() {
  auto home = foundation::quorvelHome();
  return home.ok() ? *home.value / "System" / "Notifications" / "Attachments" : fs::path();
}

void takeOverAttachments(UNNotificationContent::Fields& fields, const fs::path& extensionContainer,
                         const std::string& requestIdentifier, std::vector<std::string>& notes) {
  const fs::path container = extensionContainer.lexically_normal();
  const fs::path root = deliveredAttachmentsFolder();
  if (root.empty() || container.empty()) return;  // no home: nothing was stored either
  // Sorting by name sorts by delivery: the time leads, zero-padded.
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const fs::path folder =
      root / fmt::format("{:020}-{}", std::chrono::nanoseconds(now).count(), requestIdentifier);
  std::vector<UNNotificationAttachment> kept;
  bool moved = false;
  for (UNNotificationAttachment& attachment : fields.attachments) {
    const fs::path file = pathOfFileURL(attachment.url);
    if (file.empty() || !isInside(file, container)) {
      kept.push_back(std::move(attachment));
      continue;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    for (const fs::path& made :
         {root.parent_path().parent_path(), root.parent_path(), root, folder})
      ::chmod(made.c_str(), 0700);
    const fs::path target = folder / file.filename();
    if (!error) fs::rename(file, target, error);
    if (error) {
      notes.push_back("attachment " + attachment.identifier + " left out: cannot move " +
                      file.string() + ": " + error.message());
      continue;
    }
    moved = true;
    attachment.url = net::fileURL(target.string());
    kept.push_back(std::move(attachment));
  }
  fields.attachments = std::move(kept);
  if (moved) removeOldest(root, notes);
  // Files an extension left behind, or an image that arrived after the
  // delivery: nobody shows them.
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(container / "tmp", error)) {
    std::error_code ignored;
    fs::remove_all(entry.path(), ignored);
  }
}

}  // namespace platform::usernotifications
