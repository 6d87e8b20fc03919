#include "tests/support/process.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <thread>

extern char** environ;

namespace quorvel::testing {
namespace {

constexpr uid_t kNobody = 65534;  // and nogroup

}  // namespace

Process::Process(const std::string& name, const std::vector<std::string>& args,
                 const ProcessOptions& options) {
  const char* dir = std::getenv("QUORVEL_BIN_DIR");
  const std::string program = (std::filesystem::path(dir ? dir : "build/bin") / name).string();
  description_ = name;
  for (const std::string& arg : args) description_ += " " + arg;
  // Everything the child needs is made before fork: between fork and exec
  // only async-signal-safe calls are allowed, as the test's other threads
  // (servers) may hold locks.
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const int fds[3] = {::open(options.input.c_str(), O_RDONLY | O_CLOEXEC),
                      ::open((io_.path() / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600),
                      ::open((io_.path() / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)};
  const bool demote = options.unprivileged && ::geteuid() == 0;
  pid_ = fds[0] < 0 ? -1 : ::fork();
  if (pid_ == 0) {
    ::setpgid(0, 0);  // its own group, so the watchdog can end whatever it started
    for (int i = 0; i < 3; ++i) {
      if (::dup2(fds[i], i) < 0) ::_exit(127);
    }
    if (demote && (::setgroups(0, nullptr) || ::setgid(kNobody) || ::setuid(kNobody))) ::_exit(127);
    ::execve(program.c_str(), argv.data(), environ);
    ::_exit(127);
  }
  for (int fd : fds) ::close(fd);
  if (pid_ < 0) ADD_FAILURE() << "cannot start " << description_;
  if (pid_ > 0) ::setpgid(pid_, pid_);  // also here: the watchdog may act before the child
  killAt_ = std::chrono::steady_clock::now() + options.limit;
}

Process::~Process() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

ProcessResult Process::wait() {
  ProcessResult result;
  int status = 0;
  for (auto pause = std::chrono::microseconds(500); pid_ > 0;) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) break;
    if (std::chrono::steady_clock::now() >= killAt_) {
      ::kill(-pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      ADD_FAILURE() << description_ << " outlived its time limit and was killed";
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(20000));
  }
  if (pid_ <= 0) return result;
  pid_ = -1;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = readFileBytes(io_.path() / "out");
  result.err = readFileBytes(io_.path() / "err");
  return result;
}

ProcessResult runProcess(const std::string& name, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
  return Process(name, args, options).wait();
}

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> args;
  std::istringstream in(line);
  for (std::string word; in >> word;) args.push_back(word == "''" ? "" : word);
  return args;
}

std::string lastLine(const std::string& out) {
  const std::string text = out.substr(0, out.find_last_not_of('\n') + 1);
  return text.substr(text.rfind('\n') + 1);
}

std::string recordedExchange(const std::filesystem::path& home) {
  writeFileBytes(home / "exchange/api/v3/ticker/24hr", fixture("tickers/ticker-24hr-full.json"));
  return "file://" + (home / "exchange").string();
}

void handOverToNobody(const std::filesystem::path& root) {
  if (::geteuid() != 0) return;
  EXPECT_EQ(::lchown(root.c_str(), kNobody, kNobody), 0) << root;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    EXPECT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
  }
}

}  // namespace quorvel::testing
