// Loading a notification's image into an attachment: fetch it over HTTP(S),
// check that it is an image the notification can show, and store it as a
// private file.
// Safe from any thread. The completion runs exactly once, on the global
// queue, never inside the call. Ownership: the stored file belongs to the
// extension's container; nothing here deletes it.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/status.h"
#include "platform/net/http_client.h"
#include "platform/usernotifications/notification_content.h"

namespace platform::messaging {

struct AttachmentOptions {
  // Whole fetch, connection included. Shorter than the system's time limit,
  // so a slow server still leaves the helper time to deliver.
  std::chrono::milliseconds timeout{25000};
  // A larger image is not fetched past this many bytes and not attached.
  std::size_t maxBytes = 10u << 20;
};

// The uniform type of an image content type we can attach ("image/png" ->
// "public.png", "image/jpeg" -> "public.jpeg", "image/gif" ->
// "com.compuserve.gif"); nothing for any other.
std::optional<std::string> imageTypeForMimeType(std::string_view mimeType);

// Where attachment files go: "tmp" in the extension's own container
// ($QUORVEL_HOME/Containers/<bundle id>/tmp), created owner-only (0700).
// kIOError when it cannot be made, or is a link or not ours.
foundation::Result<std::filesystem::path> attachmentDirectory();

// Checks `response` and stores its body: a new file (created exclusively,
// mode 0600) in attachmentDirectory(). kNetwork/kTimedOut/kTooLarge (from the
// transfer), kHttpStatus for a non-2xx answer, kUnsupported for a type that
// is no attachable image or bytes that are not that image, kIOError when the
// file cannot be written (no partial file is left).
foundation::Result<usernotifications::UNNotificationAttachment> storeAttachment(
    const net::DataResponse& response);

// Fetches `url` (http or https only, also across redirects) and stores it
// with storeAttachment. kInvalidArgument for any other scheme, without
// fetching.
void loadAttachment(
    std::string url, const AttachmentOptions& options,
    std::function<void(foundation::Result<usernotifications::UNNotificationAttachment>)>
        completion);

}  // namespace platform::messaging
