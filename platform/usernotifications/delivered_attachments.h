// The system's side of notification attachments: once a notification is
// delivered, the system owns its attachment files. It moves them out of the
// extension's container into a folder of its own, keeps the files of the
// most recent notifications only, and leaves no temporary file behind.
// Thread rule: one caller at a time per QUORVEL_HOME (the entry, after the
// delivery). Ownership: the moved files belong to the system's folder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/usernotifications/notification_content.h"

namespace platform::usernotifications {

// How many notifications keep their attachment files; an older one's files
// are removed when a newer notification brings files of its own.
inline constexpr std::size_t kKeptNotificationAttachments = 20;

// $QUORVEL_HOME/System/Notifications/Attachments: one folder per delivered
// notification that had attachment files, named so that they sort by age;
// empty when there is no home.
std::filesystem::path deliveredAttachmentsFolder();

// The path of a file URL, or empty when `url` is no local file's.
std::filesystem::path pathOfFileURL(const std::string& url);

// Moves each attachment file of `fields` that lies in `extensionContainer`
// into a new folder of deliveredAttachmentsFolder() and points its URL
// there; an attachment whose file cannot be moved is left out. Then
// removes the oldest folders beyond kKeptNotificationAttachments and
// empties `extensionContainer`/tmp. Appends one sentence per failure to
// `notes`.
void takeOverAttachments(UNNotificationContent::Fields& fields,
                         const std::filesystem::path& extensionContainer,
                         const std::string& requestIdentifier, std::vector<std::string>& notes);

}  // namespace platform::usernotifications
