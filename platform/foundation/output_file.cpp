#include "platform/foundation/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace platform::foundation {
namespace {

Status writeError(const std::string& path) {
  return Status::IOError("cannot write " + path + ": " + std::strerror(errno));
}

// Writes all of `bytes` to `fd`, then closes it.
Status writeAndClose(int fd, std::string_view bytes, const std::string& path) {
  Status status;
  size_t written = 0;
  while (written < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      status = writeError(path);
      break;
    }
    written += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && status.ok()) status = writeError(path);
  return status;
}

}  // namespace

Status writeOutputFile(const std::string& path, std::string_view bytes) {
  std::error_code ec;
  const std::filesystem::file_status target = std::filesystem::status(path, ec);
  if (std::filesystem::exists(target) && !std::filesystem::is_regular_file(target)) {
    if (std::filesystem::is_directory(target)) {
      return Status::InvalidArgument("cannot write " + path + ": it is a directory");
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return writeError(path);
    return writeAndClose(fd, bytes, path);
  }

  std::filesystem::path destination = std::filesystem::weakly_canonical(path, ec);
  if (ec) destination = path;
  std::filesystem::path temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
    temporary = destination;
    temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return writeError(path);
  }
  if (fd < 0) return writeError(path);
  // Readable by others only once whole: a result is not a secret, a half
  // written file is nobody's business.
  if (::fchmod(fd, 0644) != 0) {
    Status status = writeError(path);
    ::close(fd);
    ::unlink(temporary.c_str());
    return status;
  }
  if (Status status = writeAndClose(fd, bytes, path); !status.ok()) {
    ::unlink(temporary.c_str());
    return status;
  }
  if (::rename(temporary.c_str(), destination.c_str()) != 0) {
    Status status = writeError(path);
    ::unlink(temporary.c_str());
    return status;
  }
  return Status();
}

}  // namespace platform::foundation
