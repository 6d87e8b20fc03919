// Helpers shared by the test binaries. Not thread-safe.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/status.h"

#define EXPECT_OK(expr) EXPECT_PRED_FORMAT1(::quorvel::testing::isOk, expr)
#define ASSERT_OK(expr) ASSERT_PRED_FORMAT1(::quorvel::testing::isOk, expr)

namespace quorvel::testing {

inline ::testing::AssertionResult isOk(const char* expression,
                                       const platform::foundation::Status& status) {
  if (status.ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << expression << " failed: " << platform::foundation::codeName(status.code()) << ": "
         << status.localizedDescription();
}

// A fresh directory that is removed with the object.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable for its lifetime, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// Points QUORVEL_HOME at a fresh temporary directory for its lifetime.
class ScopedHome {
 public:
  ScopedHome() : env_("QUORVEL_HOME", dir_.path().string()) {}
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  ScopedEnv env_;
};

// Captures what is written to file descriptor 1 while it lives.
class CapturedStdout {
 public:
  CapturedStdout() { ::testing::internal::CaptureStdout(); }
  ~CapturedStdout() { finish(); }
  // Everything written so far; stops the capture.
  std::string finish() {
    if (!text_) text_ = ::testing::internal::GetCapturedStdout();
    return *text_;
  }

 private:
  std::optional<std::string> text_;
};

std::string readFileBytes(const std::filesystem::path& path);
void writeFileBytes(const std::filesystem::path& path, const std::string& bytes);
// Runs SQL on `file` as another process would: rows as lines, columns '|'-joined.
std::string sql(const std::filesystem::path& file, const std::string& statements);
// A file under tests/fixtures.
std::filesystem::path fixturePath(const std::string& relative);
std::string fixture(const std::string& relative);

// Polls `condition` until it holds or `timeout` passes; true if it held.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace quorvel::testing
