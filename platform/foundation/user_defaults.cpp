#include "platform/foundation/user_defaults.h"

#include <fcntl.h>
#include <fmt/chrono.h>
#include <plist/plist.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/foundation/bundle.h"
#include "platform/foundation/container.h"
#include "platform/foundation/file_access.h"
#include "platform/foundation/output_file.h"

namespace platform::foundation {
namespace {

struct PlistDeleter {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = other.release();
    }
    return *this;
  }
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::string errnoText(const std::string& what, const std::filesystem::path& path, int err) {
  return what + " " + path.string() + ": " + std::strerror(err);
}

// The file's bytes; a missing file is kNotFound. Suites are files this
// platform creates, so a link in their place is not followed.
Result<std::string> readSuiteFile(const std::filesystem::path& path) {
  return readRegularFile(path, UserDefaults::kMaxFileBytes, /*followFinalLink=*/false);
}

// Every byte of `node`'s contents, as the XML writer (which, unlike the
// binary one, writes each text whole) renders them.
std::string xmlForm(plist_t node) {
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(node, &xml, &length);
  if (!xml) return std::string();
  std::string text(xml, length);
  plist_to_xml_free(xml);
  return text;
}

// libplist (2.2) aborts the process on an assertion when a key that holds a
// NUL byte is read as text, and a binary file can encode one (UTF-16 U+0000);
// its look-ups meanwhile match such a key by its first part only. A suite
// with one is therefore unreadable as a whole. Only the XML form shows every
// byte of a key, so that is where the NUL is looked for.
bool keyIsPlainText(plist_t keyNode) {
  const std::string xml = xmlForm(keyNode);
  return !xml.empty() && xml.find('\0') == std::string::npos;
}

bool everyKeyIsPlainText(plist_t dict) {
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(dict, &it);
  bool plain = true;
  while (it && plain) {
    plist_t value = nullptr;
    plist_dict_next_item(dict, it, nullptr, &value);  // no key text yet
    if (!value) break;
    plist_t key = plist_dict_item_get_key(value);
    plain = key && plist_get_node_type(key) == PLIST_KEY && keyIsPlainText(key);
  }
  free(it);
  return plain;
}

// The dictionary in `bytes`, or null when they are not a property-list
// dictionary whose keys can all be read.
PlistPtr parseDictionary(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > UINT32_MAX) return nullptr;
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  PlistPtr owned(root);
  if (!root || plist_get_node_type(root) != PLIST_DICT) return nullptr;
  if (!everyKeyIsPlainText(root)) return nullptr;
  return owned;
}

// Keys are C strings in the file format's library: one with a NUL byte
// would silently name a shorter key.
bool keyIsUsable(std::string_view key) { return key.find('\0') == std::string_view::npos; }

Status unusableKey(std::string_view key) {
  return Status::InvalidArgument("preference key \"" + std::string(key.substr(0, key.find('\0'))) +
                                 "\\0...\" holds a NUL byte");
}

using SharedPlist = std::shared_ptr<const void>;

// The current dictionary for a reader, or null for a missing or unreadable
// file. A process reads the same suite many times over (each themed colour
// reads the theme), so the same bytes are parsed only once. The bytes are
// read each time: no file time or inode tells every rewrite apart.
SharedPlist loadForRead(const std::filesystem::path& path) {
  // Never destroyed: a worker may still read a suite while the process exits.
  static auto* const mutex = new std::mutex;
  static auto* const parsed =
      new std::map<std::filesystem::path, std::pair<std::string, SharedPlist>>;
  auto bytes = readSuiteFile(path);
  if (!bytes.ok()) return nullptr;
  std::lock_guard lock(*mutex);
  auto& [known, dict] = (*parsed)[path];
  if (known != *bytes.value || !dict) {
    dict = parseDictionary(*bytes.value);
    known = std::move(*bytes.value);
  }
  return dict;
}

std::string timestamp() {
  const auto now = std::chrono::system_clock::now();
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() %
      1000000;
  return fmt::format("{:%Y%m%dT%H%M%S}.{:06}Z",
                     fmt::gmtime(std::chrono::system_clock::to_time_t(now)), micros);
}

// Holds an exclusive flock on "<file>.lock" for its lifetime.
Status lockSuite(const std::filesystem::path& file, std::chrono::milliseconds timeout, Fd* out) {
  std::filesystem::path lockPath = file;
  lockPath += ".lock";
  // Never through a link someone else planted: that would create its target.
  Fd fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (fd.get() < 0) {
    return Status::IOError(errnoText("cannot open lock", lockPath, errno));
  }
  auto deadline = std::chrono::steady_clock::now() + timeout;
  auto pause = std::chrono::milliseconds(1);
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      return Status::IOError(errnoText("cannot lock", lockPath, errno));
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return Status::Busy("preference suite " + file.string() + " is locked by another process");
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  *out = std::move(fd);
  return Status();
}

void logToStandardError(const std::string& message) {
  writeAll(STDERR_FILENO, "UserDefaults: " + escapedForm(message) + "\n");
}

// Keeps a file the suite cannot go on with for a person to inspect; the
// suite starts over.
Status setAside(const std::filesystem::path& file, const char* why) {
  std::filesystem::path aside = file;
  aside += ".corrupt-" + timestamp();
  if (::rename(file.c_str(), aside.c_str()) != 0) {
    return Status::IOError(
        errnoText(std::string("cannot move aside ") + why + " suite", file, errno));
  }
  logToStandardError(std::string(why) + " preference file moved aside to " + aside.string());
  return Status();
}

// The binary form of `dict`, or none when it would not read back as the same
// dictionary: libplist's binary writer cuts text at a NUL byte and writes
// text that is not UTF-8 as bytes no reader accepts, though it reads both
// from files without complaint.
std::optional<std::string> encodeDictionary(plist_t dict) {
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(dict, &bin, &length);
  if (!bin) return std::nullopt;
  std::string bytes(bin, length);
  plist_to_bin_free(bin);
  PlistPtr back = parseDictionary(bytes);
  if (!back || xmlForm(static_cast<plist_t>(back.get())) != xmlForm(dict)) return std::nullopt;
  return bytes;
}

// Temporaries of this suite that a writer killed before its rename left
// behind. Writers hold the suite's lock, so under it every one is stale.
void sweepTemporaries(const std::filesystem::path& file) {
  const std::string prefix = "." + file.filename().string() + ".";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), ec)) {
    const std::string name = entry.path().filename().string();
    struct stat st {};
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0 ||
        ::lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid()) {
      continue;
    }
    ::unlink(entry.path().c_str());
  }
}

// Read-modify-write of one suite file under its lock. A file that cannot be
// used (not a property list, not a regular file, over the size cap) is set
// aside; one whose keys could not be written back unchanged is left alone
// and the write fails, since the keys of other processes are not ours to
// drop.
Status rewrite(const std::filesystem::path& file, std::chrono::milliseconds lockTimeout,
               const std::function<void(plist_t dict)>& change) {
  if (file.empty()) return quorvelHome().status;
  if (Status s = makeDirectories(file.parent_path()); !s.ok()) return s;
  Fd lock;
  if (Status s = lockSuite(file, lockTimeout, &lock); !s.ok()) return s;
  sweepTemporaries(file);

  PlistPtr dict;
  const char* setAsideAs = nullptr;
  auto bytes = readSuiteFile(file);
  using Code = Status::Code;
  if (bytes.ok()) {
    dict = parseDictionary(*bytes.value);
    if (!dict) setAsideAs = "unreadable";
  } else if (bytes.status.code() == Code::kInvalidArgument ||
             bytes.status.code() == Code::kTooLarge) {
    setAsideAs = "unusable";
  } else if (bytes.status.code() != Code::kNotFound) {
    return bytes.status;
  }
  const bool fromFile = dict != nullptr;
  if (!dict) dict.reset(plist_new_dict());
  change(static_cast<plist_t>(dict.get()));
  std::optional<std::string> encoded = encodeDictionary(static_cast<plist_t>(dict.get()));
  if (!encoded) {
    PlistPtr alone(plist_new_dict());
    change(static_cast<plist_t>(alone.get()));
    if (!fromFile || !encodeDictionary(static_cast<plist_t>(alone.get()))) {
      return Status::InvalidArgument("cannot store the value in " + file.string() +
                                     ": keys and strings must be UTF-8 text");
    }
    return Status::Unsupported("cannot rewrite " + file.string() +
                               ": it holds keys or text that cannot be written back unchanged");
  }
  if (setAsideAs) {
    if (Status s = setAside(file, setAsideAs); !s.ok()) return s;
  }
  return replaceFileAtomically(file, *encoded);
}

// One key's change, logged when it fails.
Status modify(const std::filesystem::path& file, std::chrono::milliseconds lockTimeout,
              std::string_view key,
              const std::function<void(plist_t dict, const char* key)>& change) {
  if (!keyIsUsable(key)) return unusableKey(key);
  const std::string k(key);
  Status s = rewrite(file, lockTimeout, [&](plist_t dict) { change(dict, k.c_str()); });
  if (!s.ok()) logToStandardError(s.localizedDescription());
  return s;
}

// The item under `key` when it is of `type`, with the dictionary owning it.
struct Item {
  SharedPlist dict;
  plist_t node = nullptr;
};

Item findItem(const std::filesystem::path& file, std::string_view key, plist_type type) {
  Item item;
  if (!keyIsUsable(key)) return item;
  item.dict = loadForRead(file);
  if (!item.dict) return item;
  plist_t node =
      plist_dict_get_item(const_cast<plist_t>(item.dict.get()), std::string(key).c_str());
  if (node && plist_get_node_type(node) == type) item.node = node;
  return item;
}

std::filesystem::path preferencesFile(const std::filesystem::path& container,
                                      std::string_view name) {
  return container / "Library" / "Preferences" / (std::string(name) + ".plist");
}

}  // namespace

std::optional<UserDefaults> UserDefaults::suite(std::string_view suiteName) {
  auto container = containerURLForSecurityApplicationGroupIdentifier(suiteName);
  if (!container) return std::nullopt;
  return UserDefaults(preferencesFile(*container, suiteName));
}

UserDefaults UserDefaults::standard() { return standardFor(mainBundleIdentifier()); }

UserDefaults UserDefaults::standardFor(std::string_view bundleIdentifier) {
  const std::filesystem::path container = extensionContainer(bundleIdentifier);
  if (container.empty()) return UserDefaults(std::filesystem::path());
  return UserDefaults(preferencesFile(container, bundleIdentifier));
}

std::optional<UserDefaults::Data> UserDefaults::data(std::string_view key) const {
  Item item = findItem(file_, key, PLIST_DATA);
  if (!item.node) return std::nullopt;
  uint64_t length = 0;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(plist_get_data_ptr(item.node, &length));
  return bytes ? Data(bytes, bytes + length) : Data();
}

std::optional<std::string> UserDefaults::string(std::string_view key) const {
  Item item = findItem(file_, key, PLIST_STRING);
  if (!item.node) return std::nullopt;
  // By pointer and length: libplist aborts when asked for a string holding a
  // NUL byte (UTF-16 U+0000 in a binary file) as a C string.
  uint64_t length = 0;
  const char* value = plist_get_string_ptr(item.node, &length);
  return value ? std::string(value, length) : std::string();
}

std::vector<std::string> UserDefaults::keys() const {
  std::vector<std::string> result;
  SharedPlist shared = loadForRead(file_);
  if (!shared) return result;
  const auto dict = const_cast<plist_t>(shared.get());
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(dict, &it);
  while (it) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dict, it, &key, &value);
    if (!key) break;
    result.emplace_back(key);
    free(key);
  }
  free(it);
  std::sort(result.begin(), result.end());
  return result;
}

Status UserDefaults::set(std::string_view key, const Data& value) const {
  return modify(file_, lockTimeout_, key, [&](plist_t dict, const char* k) {
    plist_dict_set_item(dict, k,
                        plist_new_data(reinterpret_cast<const char*>(value.data()), value.size()));
  });
}

Status UserDefaults::set(std::string_view key, std::string_view value) const {
  // Strings are stored as C strings: refuse rather than store a shorter one.
  if (value.find('\0') != std::string_view::npos) {
    return Status::InvalidArgument("the string for preference key \"" + std::string(key) +
                                   "\" holds a NUL byte; store it as data");
  }
  const std::string v(value);
  return modify(file_, lockTimeout_, key, [&](plist_t dict, const char* k) {
    plist_dict_set_item(dict, k, plist_new_string(v.c_str()));
  });
}

Status UserDefaults::removeObject(std::string_view key) const {
  return modify(file_, lockTimeout_, key, [](plist_t dict, const char* k) {
    if (plist_dict_get_item(dict, k)) plist_dict_remove_item(dict, k);
  });
}

}  // namespace platform::foundation
