// UNNotificationContent and UNMutableNotificationContent: what a notification
// shows, and the changeable copy a service extension completes.
// Contents are shared references (std::shared_ptr). Every property is
// atomic, as the platform declares them: any thread may read or set a
// property of the same object at any time; fields() reads all of them at one
// instant. mutableCopy() makes an independent copy.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace platform::usernotifications {

// A file shown with a notification (an image, for example).
struct UNNotificationAttachment {
  std::string identifier;
  std::string url;   // a file URL, "file:///..."
  std::string type;  // a uniform type identifier, e.g. "public.png"

  friend bool operator==(const UNNotificationAttachment&,
                         const UNNotificationAttachment&) = default;
};

class UNNotificationContent {
 public:
  // Every property of a content, as one value.
  struct Fields {
    std::string title;
    std::string subtitle;
    std::string body;
    std::optional<std::int64_t> badge;  // the number on the app icon; absent leaves it as it is
    std::optional<std::string> sound;   // a sound name, e.g. "default"
    std::string categoryIdentifier;
    std::string threadIdentifier;
    std::vector<UNNotificationAttachment> attachments;
    nlohmann::json userInfo = nlohmann::json::object();  // the push payload, custom keys included

    friend bool operator==(const Fields&, const Fields&) = default;
  };

  UNNotificationContent() = default;
  explicit UNNotificationContent(Fields fields) : fields_(std::move(fields)) {}
  UNNotificationContent(const UNNotificationContent&) = delete;
  UNNotificationContent& operator=(const UNNotificationContent&) = delete;
  virtual ~UNNotificationContent() = default;

  std::string title() const { return get(&Fields::title); }
  std::string subtitle() const { return get(&Fields::subtitle); }
  std::string body() const { return get(&Fields::body); }
  std::optional<std::int64_t> badge() const { return get(&Fields::badge); }
  std::optional<std::string> sound() const { return get(&Fields::sound); }
  std::string categoryIdentifier() const { return get(&Fields::categoryIdentifier); }
  std::string threadIdentifier() const { return get(&Fields::threadIdentifier); }
  std::vector<UNNotificationAttachment> attachments() const { return get(&Fields::attachments); }
  nlohmann::json userInfo() const { return get(&Fields::userInfo); }
  Fields fields() const;

  // A new, independent, changeable copy owned by the caller. Normally a
  // UNMutableNotificationContent; callers check, as the platform's do.
  virtual std::shared_ptr<UNNotificationContent> mutableCopy() const;

 protected:
  template <class T>
  T get(T Fields::*member) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fields_.*member;
  }
  template <class T>
  void set(T Fields::*member, T value) {
    std::lock_guard<std::mutex> lock(mutex_);
    fields_.*member = std::move(value);
  }
  // Runs `change` on the fields under the lock: a read-modify-write as one step.
  template <class Change>
  void update(Change&& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change(fields_);
  }

 private:
  mutable std::mutex mutex_;
  Fields fields_;  // guarded by mutex_
};

class UNMutableNotificationContent : public UNNotificationContent {
 public:
  using UNNotificationContent::UNNotificationContent;

  void setTitle(std::string title) { set(&Fields::title, std::move(title)); }
  void setSubtitle(std::string subtitle) { set(&Fields::subtitle, std::move(subtitle)); }
  void setBody(std::string body) { set(&Fields::body, std::move(body)); }
  void setBadge(std::optional<std::int64_t> badge) { set(&Fields::badge, badge); }
  void setSound(std::optional<std::string> sound) { set(&Fields::sound, std::move(sound)); }
  void setCategoryIdentifier(std::string identifier) {
    set(&Fields::categoryIdentifier, std::move(identifier));
  }
  void setThreadIdentifier(std::string identifier) {
    set(&Fields::threadIdentifier, std::move(identifier));
  }
  void setAttachments(std::vector<UNNotificationAttachment> attachments) {
    set(&Fields::attachments, std::move(attachments));
  }
  // Adds one attachment after the present ones, as one atomic change.
  void addAttachment(UNNotificationAttachment attachment);
  void setUserInfo(nlohmann::json userInfo) { set(&Fields::userInfo, std::move(userInfo)); }
};

// {"title":…,"subtitle":…,"body":…,"badge":…|null,"sound":…|null,
//  "categoryIdentifier":…,"threadIdentifier":…,
//  "attachments":[{"identifier":…,"url":…,"type":…}],"userInfo":{…}},
// members in this order.
nlohmann::ordered_json toJSON(const UNNotificationContent::Fields& fields);

void PrintTo(const UNNotificationContent::Fields& fields, std::ostream* out);
void PrintTo(const UNNotificationAttachment& attachment, std::ostream* out);

}  // namespace platform::usernotifications
