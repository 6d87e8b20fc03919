// Shows a delivered notification on the Linux desktop: the freedesktop
// notification server on the session bus, through libnotify.
// Thread rule: one call at a time. The call blocks until the server answers.
#pragma once

#include <string>

#include "platform/foundation/status.h"
#include "platform/usernotifications/notification_content.h"

namespace platform::usernotifications {

struct DesktopApp {
  std::string name;      // shown as the notification's sender
  std::string iconPath;  // an image file, or empty for none
};

// Hands `fields` to the desktop: the title as summary; the body, under the
// subtitle when there is one; the first image attachment as the image; the
// category as the category. Fails, saying why, when there is no session bus
// or the server refuses; nothing is shown then.
foundation::Status showOnDesktop(const UNNotificationContent::Fields& fields,
                                 const DesktopApp& app);

}  // namespace platform::usernotifications
