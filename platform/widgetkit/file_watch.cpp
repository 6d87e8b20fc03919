#include "platform/widgetkit/file_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::widgetkit {

namespace fs = std::filesystem;

Fingerprint fingerprintOf(const std::vector<fs::path>& files) {
  Fingerprint out;
  for (const fs::path& file : files) {
    struct stat info {};
    FileStamp& stamp = out[file];
    if (::stat(file.c_str(), &info) != 0) continue;
    stamp = FileStamp{true, info.st_ino, static_cast<std::uintmax_t>(info.st_size),
                      info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec};
  }
  return out;
}

foundation::Result<std::unique_ptr<FileWatch>> FileWatch::open(const std::vector<fs::path>& files) {
  const int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  const int wakeup = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  std::unique_ptr<FileWatch> watch(new FileWatch(inotify, wakeup));
  if (inotify == -1 || wakeup == -1) {
    return foundation::Status::IOError(std::string("cannot watch files: ") + std::strerror(errno));
  }
  constexpr uint32_t kTouches = IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;
  for (const fs::path& file : files) {
    const fs::path folder = file.parent_path();
    std::error_code error;
    if (fs::create_directories(folder, error)) {
      fs::permissions(folder, fs::perms::owner_all, error);
    }
    const int descriptor = inotify_add_watch(inotify, folder.c_str(), kTouches | IN_ONLYDIR);
    if (descriptor < 0) {
      return foundation::Status::IOError("cannot watch " + folder.string() + ": " +
                                         std::strerror(errno));
    }
    watch->names_[descriptor].push_back(file.filename().string());
  }
  return watch;
}

FileWatch::~FileWatch() {
  // Either may be -1 when open failed; closing -1 only fails.
  ::close(inotify_);
  ::close(wakeup_);
}

void FileWatch::stop() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakeup_, &one, sizeof one);
}

// Reads what the kernel queued; true when a watched name was among it.
bool FileWatch::drainTouches() {
  alignas(inotify_event) char buffer[16384];
  bool touched = false;
  for (;;) {
    const ssize_t length = ::read(inotify_, buffer, sizeof buffer);
    if (length <= 0) return touched;
    for (ssize_t at = 0; at < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      // The queue overflowed: anything may have changed.
      if (event->mask & IN_Q_OVERFLOW) touched = true;
      // The name is padded with NULs to its length; the folder's own events have none.
      const std::string_view name(event->name, ::strnlen(event->name, event->len));
      for (const std::string& watched : names_[event->wd]) {
        if (name.starts_with(watched)) touched = true;
      }
    }
  }
}

bool FileWatch::wait(std::chrono::milliseconds quiet, std::chrono::milliseconds longest) {
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> first;
  Clock::time_point last;
  for (;;) {
    int timeout = -1;
    if (first) {
      const auto until = std::min(last + quiet, *first + longest);
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
      if (left.count() <= 0) return true;
      timeout = static_cast<int>(left.count());
    }
    pollfd fds[2] = {{inotify_, POLLIN, 0}, {wakeup_, POLLIN, 0}};
    if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return false;
    if (fds[1].revents != 0) return false;
    if (fds[0].revents != 0 && drainTouches()) {
      last = Clock::now();
      if (!first) first = last;
    }
  }
}

}  // namespace platform::widgetkit
