#include "platform/usernotifications/desktop_notifier.h"

#include <libnotify/notify.h>

#include <memory>

#include "platform/usernotifications/delivered_attachments.h"

namespace platform::usernotifications {

foundation::Status showOnDesktop(const UNNotificationContent::Fields& fields,
                                 const DesktopApp& app) {
  if (!notify_is_initted() && !notify_init(app.name.c_str())) {
    return foundation::Status::IOError("the desktop's notification library cannot start");
  }
  const std::string body =
      fields.subtitle.empty() ? fields.body : fields.subtitle + "\n" + fields.body;
  std::unique_ptr<NotifyNotification, decltype(&g_object_unref)> notification(
      notify_notification_new(fields.title.c_str(), body.c_str(),
                              app.iconPath.empty() ? nullptr : app.iconPath.c_str()),
      g_object_unref);
  if (!fields.categoryIdentifier.empty()) {
    notify_notification_set_category(notification.get(), fields.categoryIdentifier.c_str());
  }
  for (const auto& attachment : fields.attachments) {
    if (const std::string path = pathOfFileURL(attachment.url); !path.empty()) {
      notify_notification_set_hint(notification.get(), "image-path",
                                   g_variant_new_string(path.c_str()));
      break;
    }
  }
  GError* error = nullptr;
  if (!notify_notification_show(notification.get(), &error)) {
    std::string why = error ? error->message : "the notification server refused it";
    if (error) g_error_free(error);
    return foundation::Status::IOError(why);
  }
  return {};
}

}  // namespace platform::usernotifications
