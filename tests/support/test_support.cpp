#include "tests/support/test_support.h"

#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <thread>

// What the text stack's own bookkeeping trips under sanitizers.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __tsan_default_suppressions() {
  return "race:libfontconfig.so\nrace:libglib-2.0.so\nrace:libpangoft2-1.0.so\n"
         "race:libpango-1.0.so\nrace:libharfbuzz.so\nrace:libcairo.so\n";
}

namespace quorvel::testing {
namespace {

// Executables started by the tests inherit where they live and the same
// suppressions, unless the caller already chose.
const bool kEnvironmentReady = [] {
  ::setenv("QUORVEL_BIN_DIR", QUORVEL_DEFAULT_BIN_DIR, 0);
  ::setenv("LSAN_OPTIONS", "suppressions=" QUORVEL_SANITIZER_DIR "/lsan.supp", 0);
  ::setenv("TSAN_OPTIONS", "suppressions=" QUORVEL_SANITIZER_DIR "/tsan.supp", 0);
  return true;
}();

}  // namespace

TempDir::TempDir() {
  std::string name = (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
  if (!::mkdtemp(name.data())) ADD_FAILURE() << "mkdtemp failed";
  path_ = name;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) previous_ = old;
  ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  previous_ ? ::setenv(name_.c_str(), previous_->c_str(), 1) : ::unsetenv(name_.c_str());
}

std::string readFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::filesystem::path fixturePath(const std::string& relative) {
  return std::filesystem::path(QUORVEL_FIXTURES_DIR) / relative;
}

std::string fixture(const std::string& relative) { return readFileBytes(fixturePath(relative)); }

std::string sql(const std::filesystem::path& file, const std::string& statements) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);  // a log as a host leaves it
  std::string rows;
  auto collect = [](void* out, int n, char** values, char**) {
    for (int i = 0; i < n; ++i)
      *static_cast<std::string*>(out) += std::string(i ? "|" : "") + (values[i] ? values[i] : "-");
    *static_cast<std::string*>(out) += '\n';
    return 0;
  };
  sqlite3_exec(db, statements.c_str(), collect, &rows, nullptr);
  sqlite3_close(db);
  return rows;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace quorvel::testing
