// UserDefaults: a preference suite, one binary property-list file holding a
// dictionary, shared by every process that names the same suite.
//
// A UserDefaults value is only a handle (the file's path): cheap to make, copy
// and drop; nothing is cached in it. Every read parses the current file
// without a lock; every write takes an exclusive flock on "<file>.lock",
// reads the current dictionary, changes one key, writes a temporary file,
// fsyncs and renames it over the old one. So writers in several processes
// never lose each other's keys and a reader sees a whole value or none.
// A file that cannot be parsed reads as an empty suite and is moved aside to
// "<file>.corrupt-<timestamp>" by the next write, so nothing is lost; so does
// a dictionary with a key that holds a NUL byte, which no key here can name,
// and anything that is not a regular file under kMaxFileBytes (a folder, a
// FIFO, a link). A dictionary the next write could not store again as it is
// (text that is not UTF-8 or that holds a NUL byte) is another process's to
// mend: writes to it fail and leave it as it is. A write also removes
// temporaries that a writer killed before its rename left behind.
// Safe to use from any thread and any process.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/status.h"

namespace platform::foundation {

class UserDefaults {
 public:
  using Data = std::vector<std::uint8_t>;

  // The suite named `suiteName` in the app group container of that name
  // (initWithSuiteName:). None when the container cannot be had.
  static std::optional<UserDefaults> suite(std::string_view suiteName);
  // The running extension's own standard store (see bundle.h).
  static UserDefaults standard();
  // The standard store of another bundle: how the host writes an
  // extension's preferences.
  static UserDefaults standardFor(std::string_view bundleIdentifier);

  explicit UserDefaults(std::filesystem::path file, std::chrono::milliseconds lockTimeout =
                                                        std::chrono::milliseconds(kLockTimeoutMs))
      : file_(std::move(file)), lockTimeout_(lockTimeout) {}

  const std::filesystem::path& file() const { return file_; }

  // The data value under `key`; none when absent or of another kind.
  std::optional<Data> data(std::string_view key) const;
  // The string value under `key`; none when absent or of another kind.
  std::optional<std::string> string(std::string_view key) const;
  // Every key present, sorted.
  std::vector<std::string> keys() const;

  // A key, or a string value, holding a NUL byte is kInvalidArgument: the
  // file format's library would silently cut it short. So is one that is not
  // UTF-8, which it would write unreadably.

  Status set(std::string_view key, const Data& value) const;
  Status set(std::string_view key, std::string_view value) const;
  Status set(std::string_view key, const char* value) const {
    return set(key, std::string_view(value));
  }
  Status removeObject(std::string_view key) const;

  // How long a writer waits for another process's lock before giving up.
  static constexpr int kLockTimeoutMs = 5000;
  // Files larger than this are treated as unusable rather than loaded (and
  // set aside by the next write): suites hold a few small values.
  static constexpr std::uintmax_t kMaxFileBytes = 4u << 20;

 private:
  std::filesystem::path file_;
  std::chrono::milliseconds lockTimeout_;
};

}  // namespace platform::foundation
