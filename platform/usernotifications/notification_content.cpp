#include "platform/usernotifications/notification_content.h"

#include <ostream>

namespace platform::usernotifications {

UNNotificationContent::Fields UNNotificationContent::fields() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fields_;
}

void UNMutableNotificationContent::addAttachment(UNNotificationAttachment attachment) {
  update([&attachment](Fields& fields) { fields.attachments.push_back(std::move(attachment)); });
}

std::shared_ptr<UNNotificationContent> UNNotificationContent::mutableCopy() const {
  return std::make_shared<UNMutableNotificationContent>(fields());
}

nlohmann::ordered_json toJSON(const UNNotificationContent::Fields& fields) {
  nlohmann::ordered_json attachments = nlohmann::ordered_json::array();
  for (const UNNotificationAttachment& attachment : fields.attachments) {
    attachments.push_back({{"identifier", attachment.identifier},
                           {"url", attachment.url},
                           {"type", attachment.type}});
  }
  return {
      {"title", fields.title},
      {"subtitle", fields.subtitle},
      {"body", fields.body},
      {"badge",
       fields.badge ? nlohmann::ordered_json(*fields.badge) : nlohmann::ordered_json(nullptr)},
      {"sound",
       fields.sound ? nlohmann::ordered_json(*fields.sound) : nlohmann::ordered_json(nullptr)},
      {"categoryIdentifier", fields.categoryIdentifier},
      {"threadIdentifier", fields.threadIdentifier},
      {"attachments", std::move(attachments)},
      {"userInfo", nlohmann::ordered_json(fields.userInfo)},
  };
}

void PrintTo(const UNNotificationContent::Fields& fields, std::ostream* out) {
  *out << toJSON(fields).dump();
}

void PrintTo(const UNNotificationAttachment& attachment, std::ostream* out) {
  *out << "{" << attachment.identifier << ", " << attachment.url << ", " << attachment.type << "}";
}

}  // namespace platform::usernotifications
