// Fuzz target: the bytes are a preference suite's file, as another process
// (or a damaged disk) may have left it. Reading must give what the file holds
// or an empty suite; a write must then add the new value and either keep
// every value it could read or set the file aside, byte for byte, or, when
// the values it holds could not be written back, leave it as it was.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/user_defaults.h"

namespace {

using platform::foundation::UserDefaults;

constexpr char kSuiteName[] = "group.com.tavrin.quorvel";
constexpr char kWrittenKey[] = "FuzzWrittenKey";
constexpr char kWrittenValue[] = "written by the fuzzer";

std::filesystem::path* home = nullptr;

void removeHome() {
  std::error_code ignored;
  if (home) std::filesystem::remove_all(*home, ignored);
}

using Value = std::pair<std::optional<std::string>, std::optional<UserDefaults::Data>>;

std::map<std::string, Value> readAll(const UserDefaults& suite) {
  std::map<std::string, Value> values;
  for (const std::string& key : suite.keys()) {
    values[key] = {suite.string(key), suite.data(key)};
  }
  return values;
}

std::string fileBytes(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// Removes the copies set aside beside `file` (so the disk does not fill),
// trapping on one that does not hold exactly `original`. Returns how many.
size_t removeSetAside(const std::filesystem::path& file, std::string_view original) {
  size_t removed = 0;
  const std::string prefix = file.filename().string() + ".corrupt-";
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
    if (entry.path().filename().string().rfind(prefix, 0) != 0) continue;
    if (fileBytes(entry.path()) != original) __builtin_trap();
    std::filesystem::remove(entry.path());
    ++removed;
  }
  return removed;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // tmpfs when there is one: every write syncs, which a disk makes slow.
  std::filesystem::path parent = std::filesystem::temp_directory_path();
  if (access("/dev/shm", W_OK) == 0) parent = "/dev/shm";
  std::string pattern = (parent / "quorvel-fuzz-plist-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  home = new std::filesystem::path(pattern);
  std::atexit(removeHome);
  setenv("QUORVEL_HOME", pattern.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto suite = UserDefaults::suite(kSuiteName);
  if (!suite) std::abort();
  const std::filesystem::path& file = suite->file();
  std::filesystem::create_directories(file.parent_path());
  {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!stream.flush()) std::abort();
  }

  const std::map<std::string, Value> before = readAll(*suite);
  const std::string_view original(reinterpret_cast<const char*>(data), size);

  const platform::foundation::Status written = suite->set(kWrittenKey, kWrittenValue);
  if (!written.ok()) {
    // Values another process wrote that could not be written back as they
    // are: the write is refused and the file stays, byte for byte.
    if (written.code() != platform::foundation::Status::Code::kUnsupported ||
        fileBytes(file) != original || removeSetAside(file, original) != 0) {
      __builtin_trap();
    }
    std::filesystem::remove(file);
    return 0;
  }
  if (suite->string(kWrittenKey) != kWrittenValue) __builtin_trap();

  std::map<std::string, Value> after = readAll(*suite);
  after.erase(kWrittenKey);
  // The file is either kept, every value it could be read for still there,
  // or set aside whole and the suite started over.
  const size_t setAside = removeSetAside(file, original);
  if (setAside > 1) __builtin_trap();
  if (setAside == 0) {
    std::map<std::string, Value> kept = before;
    kept.erase(kWrittenKey);
    if (after != kept) __builtin_trap();
  } else if (!after.empty()) {
    __builtin_trap();
  }
  std::filesystem::remove(file);
  return 0;
}
