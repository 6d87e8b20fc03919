#include "tests/support/raw_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::testing {

RawServer::RawServer(RawReply reply) : reply_(std::move(reply)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t length = sizeof address;
  EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), length), 0);
  EXPECT_EQ(::listen(listener_, 64), 0);
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  baseURL_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  acceptor_ = std::thread([this] {
    for (std::unique_lock lock(mutex_); !stopping_;) {
      lock.unlock();
      pollfd ready{listener_, POLLIN, 0};
      const int fd =
          ::poll(&ready, 1, 20) > 0 ? ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
      lock.lock();
      if (fd < 0) continue;
      ++accepted_;
      open_.push_back(fd);
      threads_.emplace_back([this, fd] { serve(fd); });
    }
  });
}

void RawServer::serve(int fd) {
  std::string head;
  char buffer[4096];
  for (ssize_t got = 1; got > 0 && head.find("\r\n\r\n") == std::string::npos;) {
    got = ::recv(fd, buffer, sizeof buffer, 0);
    head.append(buffer, static_cast<size_t>(std::max<ssize_t>(got, 0)));
  }
  std::string_view bytes = reply_.bytes;
  std::unique_lock lock(mutex_);
  while (!bytes.empty() && !wake_.wait_for(lock, reply_.pause, [this] { return stopping_; })) {
    lock.unlock();
    const ssize_t sent =
        ::send(fd, bytes.data(), reply_.pause.count() ? 1 : bytes.size(), MSG_NOSIGNAL);
    lock.lock();
    if (sent <= 0) break;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  if (reply_.hold) wake_.wait(lock, [this] { return stopping_; });
  linger abort{1, 0};  // a zero linger time turns the close into a reset
  if (reply_.reset) ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  std::erase(open_, fd);
  ::close(fd);
}

RawServer::~RawServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    // Wakes connections blocked in a send to a client that stopped reading.
    for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
  }
  wake_.notify_all();
  acceptor_.join();
  for (std::thread& thread : threads_) thread.join();
  ::close(listener_);
}

std::string responseHead(const std::string& statusLine, const std::vector<std::string>& fields) {
  std::string text = "HTTP/1.1 " + statusLine + "\r\n";
  for (const std::string& field : fields) text += field.empty() ? "" : field + "\r\n";
  return text + "Connection: close\r\n\r\n";
}

}  // namespace quorvel::testing
