#include "tests/support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

extern char** environ;

namespace quorvel::testing {
namespace {

constexpr uid_t kNobody = 65534;  // and nogroup

}  // namespace

Process::Process(const std::string& name, const std::vector<std::string>& args,
                 const ProcessOptions& options) {
  const char* dir = std::getenv("QUORVEL_BIN_DIR");
  // timeout(1) ends the child's whole process group (TERM, then KILL) after
  // a minute, and answers 124 for it.
  std::vector<std::string> line{"timeout", "-k", "1", "60"};
  if (options.unprivileged && ::geteuid() == 0) {
    line.insert(line.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  line.insert(line.end(), options.prefix.begin(), options.prefix.end());
  line.push_back((std::filesystem::path(dir ? dir : "build/bin") / name).string());
  line.insert(line.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : line) argv.push_back(word.data());
  argv.push_back(nullptr);
  for (const std::string& arg : args) description_ += " " + arg;
  description_ = name + description_;
  posix_spawn_file_actions_t io;
  posix_spawn_file_actions_init(&io);
  posix_spawn_file_actions_addopen(&io, 0, options.input.c_str(), O_RDONLY, 0);
  const std::filesystem::path out = options.output.empty() ? io_.path() / "out" : options.output;
  posix_spawn_file_actions_addopen(&io, 1, out.c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&io, 2, (io_.path() / "err").c_str(), O_WRONLY | O_CREAT, 0600);
  if (::posix_spawnp(&pid_, "timeout", &io, nullptr, argv.data(), environ) != 0) {
    pid_ = -1;
    ADD_FAILURE() << "cannot start " << description_;
  }
  posix_spawn_file_actions_destroy(&io);
}

Process::~Process() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);  // timeout passes it on to the child
  ::waitpid(pid_, nullptr, 0);
}

ProcessResult Process::wait() {
  ProcessResult result;
  int status = 0;
  if (pid_ <= 0 || ::waitpid(std::exchange(pid_, -1), &status, 0) < 0) return result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (result.exitCode == 124) ADD_FAILURE() << description_ << " outlived its time limit";
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
