// Runs the built executables ($QUORVEL_BIN_DIR) as child processes: input
// from a file, both output streams collected, and a hung child (with all it
// started) killed at its limit so that it fails its test, not the suite.
#pragma once

#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace quorvel::testing {

struct ProcessResult {
  int exitCode = -1;  // 128 + the signal number when a signal ended it
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::filesystem::path input = "/dev/null";
  // Root ignores permission bits: as root, run the child as nobody.
  bool unprivileged = false;
  // A command the program runs under ("env -u HOME", "prlimit --nproc=1").
  std::vector<std::string> prefix = {};
  // Where standard output goes instead of being collected ("/dev/full").
  std::filesystem::path output = {};
};

// One started child; dropping it kills and reaps it if it still runs.
class Process {
 public:
  Process(const std::string& name, const std::vector<std::string>& args,
          const ProcessOptions& options = {});
  ~Process();
  ProcessResult wait();                              // once only
  void terminate() const { ::kill(pid_, SIGTERM); }  // timeout passes it on to the child

 private:
  std::string description_;
  TempDir io_;
  int pid_ = -1;
};

ProcessResult runProcess(const std::string& name, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});
// A command line split at spaces; '' stands for an empty argument.
std::vector<std::string> words(const std::string& line);
// The last line of `out`: where the programs write their answer, after any debug lines.
std::string lastLine(const std::string& out);
// Writes the recorded exchange answer under `home`; returns the file://
// base address that serves it.
std::string recordedExchange(const std::filesystem::path& home);
// Gives `root` and everything under it to nobody, when the tests run as root.
void handOverToNobody(const std::filesystem::path& root);

}  // namespace quorvel::testing
