// Noticing that files other processes write have changed on disk. Their
// folders are watched (inotify), not the files, so a file replaced by a
// rename, or created after the watch began, is still seen.
// Thread rule: one thread waits (wait); any thread may call stop and
// fingerprint.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/foundation/status.h"

namespace platform::widgetkit {

// What a file looks like from outside: absent, or its identity, size and
// modification time. Two equal stamps mean nobody wrote it in between.
struct FileStamp {
  bool exists = false;
  std::uintmax_t inode = 0;
  std::uintmax_t size = 0;
  std::int64_t modifiedNanoseconds = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
using Fingerprint = std::map<std::filesystem::path, FileStamp>;

Fingerprint fingerprintOf(const std::vector<std::filesystem::path>& files);

class FileWatch {
 public:
  // Watches the folders of `files` (creating missing ones, owner only).
  // A file counts as touched when an entry whose name begins with its name
  // is created, written, renamed or removed (so its journals and the
  // temporaries it is renamed from count too).
  static foundation::Result<std::unique_ptr<FileWatch>> open(
      const std::vector<std::filesystem::path>& files);
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // Blocks until a burst of touches has settled (`quiet` without one, or
  // `longest` after its first), then returns true; false once stop() was
  // called.
  bool wait(std::chrono::milliseconds quiet, std::chrono::milliseconds longest);
  void stop();

 private:
  FileWatch(int inotify, int wakeup) : inotify_(inotify), wakeup_(wakeup) {}
  bool drainTouches();

  int inotify_;
  int wakeup_;
  // Watch descriptor -> the names watched in that folder.
  std::map<int, std::vector<std::string>> names_;
};

}  // namespace platform::widgetkit
