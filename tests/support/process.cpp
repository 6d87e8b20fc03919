#include "tests/support/process.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

extern char** environ;

namespace quorvel::testing {
namespace {

int openForChild(const std::string& path, int flags) {
  return ::open(path.c_str(), flags | O_CLOEXEC, 0600);
}

// Writes errno to `fd` and ends the child: the parent learns why exec failed.
[[noreturn]] void failInChild(int fd) {
  const int error = errno;
  ssize_t ignored = ::write(fd, &error, sizeof error);
  (void)ignored;
  ::_exit(127);
}

}  // namespace

std::filesystem::path executablePath(const std::string& name) {
  const char* dir = std::getenv("QUORVEL_BIN_DIR");
  return std::filesystem::path(dir && *dir ? dir : "build/bin") / name;
}

Process::Process(const std::string& name, const std::vector<std::string>& args,
                 ProcessOptions options)
    : io_(std::make_unique<TempDir>()) {
  const std::string program = executablePath(name).string();
  description_ = name;
  for (const std::string& arg : args) description_ += " " + arg;

  // Everything the child needs is made before fork: between fork and exec
  // only async-signal-safe calls are allowed, as other threads of the test
  // (servers) may hold locks.
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const std::string inPath = options.input.empty() ? "/dev/null" : options.input.string();
  const int in = openForChild(inPath, O_RDONLY);
  const int out = openForChild((io_->path() / "out").string(), O_WRONLY | O_CREAT | O_TRUNC);
  const int err = openForChild((io_->path() / "err").string(), O_WRONLY | O_CREAT | O_TRUNC);
  int report[2] = {-1, -1};
  if (in < 0 || out < 0 || err < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot prepare " << description_ << ": " << std::strerror(errno);
    for (int fd : {in, out, err, report[0], report[1]})
      if (fd >= 0) ::close(fd);
    return;
  }

  const pid_t pid = ::fork();
  if (pid == 0) {
    // Its own process group, so the watchdog can end whatever it started.
    ::setpgid(0, 0);
    if (::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) failInChild(report[1]);
    if (options.identity) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(options.identity->gid) != 0 ||
          ::setuid(options.identity->uid) != 0) {
        failInChild(report[1]);
      }
    }
    ::execve(program.c_str(), argv.data(), environ);
    failInChild(report[1]);
  }
  const int forkError = errno;
  for (int fd : {in, out, err, report[1]}) ::close(fd);
  if (pid < 0) {
    ::close(report[0]);
    ADD_FAILURE() << "cannot fork for " << description_ << ": " << std::strerror(forkError);
    return;
  }
  ::setpgid(pid, pid);  // also here: the watchdog may act before the child runs
  pid_ = pid;
  killAt_ = std::chrono::steady_clock::now() + options.limit;

  // The pipe closes at exec; bytes on it mean exec did not happen.
  int childError = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof childError)) {
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(childError);
  }
}

Process::Process(Process&& other) noexcept
    : description_(std::move(other.description_)),
      killAt_(other.killAt_),
      io_(std::move(other.io_)),
      pid_(std::exchange(other.pid_, -1)) {}

Process::~Process() {
  if (pid_ > 0) {
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

ProcessResult Process::wait() {
  ProcessResult result;
  if (pid_ <= 0) return result;
  int status = 0;
  auto pause = std::chrono::microseconds(500);
  while (true) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (done < 0 && errno != EINTR) {
      ADD_FAILURE() << "cannot wait for " << description_ << ": " << std::strerror(errno);
      pid_ = -1;
      return result;
    }
    if (std::chrono::steady_clock::now() >= killAt_) {
      ::kill(-pid_, SIGKILL);
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      result.killed = true;
      ADD_FAILURE() << description_ << " outlived its time limit and was killed";
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(20000));
  }
  pid_ = -1;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = readFileBytes(io_->path() / "out");
  result.err = readFileBytes(io_->path() / "err");
  return result;
}

ProcessResult runProcess(const std::string& name, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
  return Process(name, args, options).wait();
}

std::string lastLine(const std::string& out) {
  std::string text = out;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const size_t start = text.rfind('\n');
  return start == std::string::npos ? text : text.substr(start + 1);
}

std::optional<ProcessOptions::Identity> unprivilegedIdentity() {
  if (::geteuid() != 0) return std::nullopt;
  return ProcessOptions::Identity{65534, 65534};  // nobody / nogroup
}

void handOver(const std::filesystem::path& root, const ProcessOptions::Identity& identity) {
  auto own = [&](const std::filesystem::path& path) {
    if (::lchown(path.c_str(), identity.uid, identity.gid) != 0) {
      ADD_FAILURE() << "cannot hand " << path << " over: " << std::strerror(errno);
    }
  };
  own(root);
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    own(it->path());
  }
  if (ec) ADD_FAILURE() << "cannot walk " << root << ": " << ec.message();
}

}  // namespace quorvel::testing
