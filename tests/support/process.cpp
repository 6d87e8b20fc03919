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

Process::Process(const std::string& name, const std::vector<std::string>& args,
                 const ProcessOptions& options) {
  const char* dir = std::getenv("QUORVEL_BIN_DIR");
  const std::string program = (std::filesystem::path(dir ? dir : "build/bin") / name).string();
  description_ = name;
  for (const std::string& arg : args) description_ += " " + arg;
  // Everything the child needs is made before fork: between fork and exec
  // only async-signal-safe calls are allowed, as other threads of the test
  // (servers) may hold locks.
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const int fds[3] = {::open(options.input.c_str(), O_RDONLY | O_CLOEXEC),
                      ::open((io_.path() / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600),
                      ::open((io_.path() / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)};
  const pid_t pid = fds[0] < 0 ? -1 : ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);  // its own group, so the watchdog can end whatever it started
    for (int i = 0; i < 3; ++i) {
      if (::dup2(fds[i], i) < 0) ::_exit(127);
    }
    const auto* id = options.identity ? &*options.identity : nullptr;
    if (id && (::setgroups(0, nullptr) || ::setgid(id->gid) || ::setuid(id->uid))) ::_exit(127);
    ::execve(program.c_str(), argv.data(), environ);
    ::_exit(127);
  }
  for (int fd : fds) ::close(fd);
  if (pid < 0) ADD_FAILURE() << "cannot start " << description_;
  if (pid > 0) ::setpgid(pid, pid);  // also here: the watchdog may act before the child runs
  pid_ = pid;
  killAt_ = std::chrono::steady_clock::now() + options.limit;
}

Process::~Process() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

ProcessResult Process::wait() {
  ProcessResult result;
  if (pid_ <= 0) return result;
  int status = 0;
  auto pause = std::chrono::microseconds(500);
  while (::waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() >= killAt_) {
      ::kill(-pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      ADD_FAILURE() << description_ << " outlived its time limit and was killed";
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(20000));
  }
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

std::optional<ProcessOptions::Identity> unprivilegedIdentity() {
  if (::geteuid() != 0) return std::nullopt;
  return ProcessOptions::Identity{65534, 65534};  // nobody / nogroup
}

void handOver(const std::filesystem::path& root, const ProcessOptions::Identity& identity) {
  EXPECT_EQ(::lchown(root.c_str(), identity.uid, identity.gid), 0) << root;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    EXPECT_EQ(::lchown(entry.path().c_str(), identity.uid, identity.gid), 0) << entry.path();
  }
}

}  // namespace quorvel::testing
