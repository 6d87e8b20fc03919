#include "platform/messaging/extension_helper.h"

#include <cerrno>
#include <iostream>
#include <nlohmann/json.hpp>

namespace platform::messaging {

std::optional<std::string> imageAddress(const nlohmann::json& userInfo) {
  if (!userInfo.is_object()) return std::nullopt;
  auto options = userInfo.find("fcm_options");
  if (options == userInfo.end() || !options->is_object()) return std::nullopt;
  auto image = options->find("image");
  if (image == options->end() || !image->is_string()) return std::nullopt;
  return image->get<std::string>();
}

void FIRMessagingExtensionHelper::populateNotificationContent(
    std::shared_ptr<usernotifications::UNMutableNotificationContent> content,
    usernotifications::ContentHandler contentHandler) {
  if (!contentHandler) return;  // nobody to deliver to
  std::optional<std::string> address = content ? imageAddress(content->userInfo()) : std::nullopt;
  if (!address || address->empty()) {
    contentHandler(std::move(content));
    return;
  }
  const std::string url = *address;
  loadAttachment(std::move(*address), options(),
                 [content, contentHandler = std::move(contentHandler),
                  url](foundation::Result<usernotifications::UNNotificationAttachment> attachment) {
                   // A failed image costs only the image: the text still goes out.
                   if (attachment.ok()) {
                     content->addAttachment(std::move(*attachment.value));
                   } else {
                     std::cerr << program_invocation_short_name << ": image " << url
                               << " left out: " << attachment.status.localizedDescription() << "\n";
                   }
                   contentHandler(content);
                 });
}

AttachmentOptions FIRMessagingExtensionHelper::options() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return options_;
}

void FIRMessagingExtensionHelper::setOptions(AttachmentOptions options) {
  std::lock_guard<std::mutex> lock(mutex_);
  options_ = options;
}

FIRMessagingExtensionHelper& FIRMessaging::extensionHelper() {
  static FIRMessagingExtensionHelper* helper =
      new FIRMessagingExtensionHelper();  // outlives late deliveries
  return *helper;
}

}  // namespace platform::messaging
