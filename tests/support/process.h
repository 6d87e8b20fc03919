// Runs the built executables as child processes for the end-to-end tests:
// standard input from a file, both output streams collected, and a watchdog
// that kills a child (with everything it started) once it outlives its
// limit, so a hung executable fails its test instead of stalling the suite.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace quorvel::testing {

struct ProcessResult {
  // The exit status; 128 + the signal number when a signal ended it; -1
  // when it could not be started; 127 when the program could not be run.
  int exitCode = -1;
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::filesystem::path input = "/dev/null";
  std::chrono::milliseconds limit{60000};
  // Run under this user and group instead of the test's own (needs root).
  struct Identity {
    uid_t uid;
    gid_t gid;
  };
  std::optional<Identity> identity;
};

// One started child of the build's bin/ folder ($QUORVEL_BIN_DIR). Dropping
// it kills and reaps a child that is still running.
class Process {
 public:
  Process(const std::string& name, const std::vector<std::string>& args,
          const ProcessOptions& options = {});
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();
  // Waits for the end (or the watchdog) and collects the result; once only.
  ProcessResult wait();

 private:
  std::string description_;
  std::chrono::steady_clock::time_point killAt_;
  TempDir io_;
  pid_t pid_ = -1;
};

// A command line split at spaces; '' stands for an empty argument.
std::vector<std::string> words(const std::string& line);

ProcessResult runProcess(const std::string& name, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// The last line of `out` without its newline: where the widget host and the
// store tool write their answer, after any debug lines.
std::string lastLine(const std::string& out);

// Writes the recorded exchange answer under `home` and returns the file://
// base address that serves it.
std::string recordedExchange(const std::filesystem::path& home);

// The other user a test can hand a folder to, so that permission bits stop
// the child even when the tests run as root; none when not root.
std::optional<ProcessOptions::Identity> unprivilegedIdentity();
// Makes `root` and everything under it belong to `identity`.
void handOver(const std::filesystem::path& root, const ProcessOptions::Identity& identity);

}  // namespace quorvel::testing
