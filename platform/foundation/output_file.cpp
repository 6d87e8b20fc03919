#include "platform/foundation/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace platform::foundation {
namespace {

Status ioError(const std::string& what, const std::filesystem::path& path) {
  return Status::IOError(what + " " + path.string() + ": " + std::strerror(errno));
}

// The errno of the first failed write to standard output; 0 while none.
std::atomic<int> standardOutputError{0};

void noteStandardOutputError(int err) {
  int none = 0;
  standardOutputError.compare_exchange_strong(none, err != 0 ? err : EIO);
}

Status syncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = fd != -1 && ::fsync(fd) == 0;
  if (fd >= 0) ::close(fd);
  return synced ? Status() : ioError("cannot sync folder", folder);
}

}  // namespace

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

Status replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, mode_t mode,
                             Durability durability) {
  const bool synced = durability == Durability::synced;
  const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
  std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  // mkostemp opens with O_CREAT|O_EXCL and mode 0600; O_NOFOLLOW on top.
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC | O_NOFOLLOW);
  if (fd == -1) return ioError("cannot create a file in", folder);
  Status status;
  if (!writeAll(fd, bytes)) {
    status = ioError("cannot write", temporary);
  } else if (synced && ::fsync(fd) != 0) {
    status = ioError("cannot sync", temporary);
  } else if (::fchmod(fd, mode) != 0) {
    status = ioError("cannot set the permissions of", temporary);
  }
  if (::close(fd) != 0 && status.ok()) status = ioError("cannot write", temporary);
  if (status.ok() && ::rename(temporary.c_str(), path.c_str()) != 0) {
    status = ioError("cannot replace", path);
  }
  if (!status.ok()) {
    ::unlink(temporary.c_str());
    return status;
  }
  return synced ? syncFolder(folder) : Status();
}

Status writeOutputFile(const std::string& path, std::string_view bytes) {
  std::error_code ec;
  const std::filesystem::file_status target = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(target)) {
    return Status::InvalidArgument("cannot write " + path + ": it is a directory");
  }
  if (std::filesystem::exists(target) && !std::filesystem::is_regular_file(target)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd == -1 || !writeAll(fd, bytes)) {
      Status status = ioError("cannot write", path);
      ::close(fd);  // -1 only fails
      return status;
    }
    return ::close(fd) == 0 ? Status() : ioError("cannot write", path);
  }
  std::filesystem::path destination = std::filesystem::weakly_canonical(path, ec);
  if (ec) destination = path;
  // A result is made again by the next run: whole for readers (the rename)
  // is what matters, and syncing would cost more than the rest of a run.
  Status status = replaceFileAtomically(destination, bytes, 0644, Durability::unsynced);
  if (status.ok()) return status;
  return Status::IOError("cannot write " + path + ": " + status.localizedDescription());
}

bool writeStandardOutput(std::string_view bytes) {
  if (writeAll(STDOUT_FILENO, bytes)) return true;
  noteStandardOutputError(errno);
  return false;
}

int finishStandardOutput(int status, std::string_view program) {
  // A stream that failed earlier kept no errno; the last one set is the
  // best guess at its cause.
  const int earlier = errno;
  if (!std::cout || std::ferror(stdout)) noteStandardOutputError(earlier);
  errno = 0;
  if (!std::cout.flush()) noteStandardOutputError(errno);
  errno = 0;
  if (std::fflush(stdout) != 0) noteStandardOutputError(errno);
  // Some file systems report a failed write only when the file is closed.
  if (::close(STDOUT_FILENO) != 0 && errno != EBADF) noteStandardOutputError(errno);
  const int err = standardOutputError.load();
  if (err == 0) return status;
  writeAll(STDERR_FILENO,
           std::string(program) + ": cannot write standard output: " + std::strerror(err) + "\n");
  return status == 0 ? 1 : status;
}

}  // namespace platform::foundation
