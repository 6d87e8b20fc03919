#include "platform/foundation/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/foundation/debug_print.h"

namespace platform::foundation {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

Status failure(const std::filesystem::path& path, int err) {
  const std::string text = "cannot read " + path.string() + ": " + std::strerror(err);
  if (err == ENOENT) return Status::NotFound(text);
  if (err == ELOOP) return Status::InvalidArgument(path.string() + " is a symbolic link");
  return Status::IOError(text);
}

}  // namespace

Result<std::string> readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes,
                                    bool followFinalLink) {
  // O_NONBLOCK: opening a FIFO for reading otherwise waits for a writer.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followFinalLink ? 0 : O_NOFOLLOW);
  Descriptor fd(::open(path.c_str(), flags));
  if (fd.get() == -1) return failure(path, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return failure(path, errno);
  if (!S_ISREG(st.st_mode))
    return Status::InvalidArgument(path.string() + " is not a regular file");
  if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
    return Status::TooLarge(path.string() + " is larger than " + std::to_string(maxBytes) +
                            " bytes");
  }
  // Room past the end, so that a reader that pads what it reads (a JSON
  // parser wants 64 bytes) need not copy it.
  std::string bytes;
  bytes.reserve(static_cast<size_t>(st.st_size) + 64);
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  // A file that grows meanwhile is read up to the size it had; one that
  // shrinks, up to its end.
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failure(path, errno);
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

Status makeDirectories(const std::filesystem::path& folder) {
  std::error_code ec;
  if (folder.empty() || std::filesystem::is_directory(folder, ec)) return Status();
  if (Status s = makeDirectories(folder.parent_path()); !s.ok()) return s;
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return Status::IOError("cannot create folder " + folder.string() + ": " + std::strerror(errno));
  }
  if (!std::filesystem::is_directory(folder, ec)) {
    return Status::IOError("cannot create folder " + folder.string() + ": " +
                           std::strerror(ENOTDIR));
  }
  return Status();
}

std::string escapedForm(std::string_view text) {
  std::string quoted = quotedForm(text);
  // quotedForm also escapes quotes and backslashes, which a message keeps.
  std::string out;
  out.reserve(quoted.size());
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] == '\\' &&
        (quoted[i + 1] == '"' || quoted[i + 1] == '\'' || quoted[i + 1] == '\\')) {
      ++i;
    }
    out += quoted[i];
  }
  return out;
}

}  // namespace platform::foundation
