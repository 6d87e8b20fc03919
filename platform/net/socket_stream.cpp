#include "platform/net/socket_stream.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace platform::net {

namespace {

class PlainStream final : public ByteStream {
 public:
  explicit PlainStream(int fd) : fd_(fd) {}
  ~PlainStream() override { ::close(fd_); }

  Moved read(char* data, size_t size, Clock::time_point until) override {
    for (;;) {
      const ssize_t n = ::recv(fd_, data, size, 0);
      if (n >= 0) return {static_cast<size_t>(n)};
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return {0, Transport::kLost};
      if (!waitReady(fd_, POLLIN, until)) return {0, Transport::kTimedOut};
    }
  }

  Moved write(const char* data, size_t size, Clock::time_point until) override {
    for (;;) {
      const ssize_t sent = ::send(fd_, data, size, MSG_NOSIGNAL);
      if (sent >= 0) return {static_cast<size_t>(sent)};
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return {0, Transport::kLost};
      if (!waitReady(fd_, POLLOUT, until)) return {0, Transport::kTimedOut};
    }
  }

 private:
  int fd_;
};

}  // namespace

bool waitReady(int fd, short events, Clock::time_point until) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, events, 0};
    const int ready =
        ::poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
    // An error or hang-up is ready too: the next call on the socket says which.
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;
  }
}

int connectTCP(const std::string& host, int port, Clock::time_point until, Transport& outcome) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  outcome = Transport::kNoConnection;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int connected = -1;
  for (addrinfo* at = found; at && connected == -1; at = at->ai_next) {
    // A socket that could not be made (-1) fails to connect like any other.
    const int fd =
        ::socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
    int error = ::connect(fd, at->ai_addr, at->ai_addrlen) == 0 ? 0 : errno;
    if (error == EINPROGRESS) {
      socklen_t length = sizeof error;
      if (!waitReady(fd, POLLOUT, until)) {
        outcome = Transport::kTimedOut;
        ::close(fd);
        break;
      }
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    }
    if (error == 0) {
      connected = fd;
    } else {
      ::close(fd);
    }
  }
  ::freeaddrinfo(found);
  if (connected != -1) outcome = Transport::kDone;
  return connected;
}

std::unique_ptr<ByteStream> plainStream(int fd) { return std::make_unique<PlainStream>(fd); }

}  // namespace platform::net
