#include "tests/support/raw_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel::testing {

std::string RawServer::Connection::readRequestHead() {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < (64u << 10)) {
    pollfd ready{fd_, POLLIN, 0};
    const int polled = ::poll(&ready, 1, 50);
    if (server_.stopping_) break;
    if (polled <= 0) continue;
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    head.append(buffer, static_cast<size_t>(got));
  }
  return head;
}

bool RawServer::Connection::send(std::string_view bytes) {
  while (!bytes.empty()) {
    if (server_.stopping_) return false;
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

bool RawServer::Connection::trickle(std::string_view bytes, std::chrono::milliseconds pause) {
  for (char byte : bytes) {
    if (!server_.sleepUnlessStopping(pause)) return false;
    if (!send(std::string_view(&byte, 1))) return false;
  }
  return true;
}

void RawServer::Connection::holdOpen() {
  std::unique_lock lock(server_.mutex_);
  server_.wake_.wait(lock, [this] { return server_.stopping_.load(); });
}

void RawServer::Connection::reset() {
  if (closed_) return;
  // A zero linger time turns close() into a reset (RST) of the connection.
  linger abort{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  {
    std::lock_guard lock(server_.mutex_);
    server_.open_.erase(fd_);
  }
  ::close(fd_);
  closed_ = true;
}

RawServer::RawServer(Script script) : script_(std::move(script)) {}

RawServer::~RawServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    // Wakes scripts blocked in a send to a client that stopped reading.
    for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
  }
  wake_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& worker : workers_) worker.join();
  if (listener_ >= 0) ::close(listener_);
}

std::string RawServer::start() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
      ::listen(listener_, 64) ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length)) {
    ADD_FAILURE() << "cannot listen on 127.0.0.1: " << std::strerror(errno);
    return baseURL();
  }
  port_ = ntohs(address.sin_port);
  if (script_) acceptor_ = std::thread([this] { acceptLoop(); });
  return baseURL();
}

void RawServer::acceptLoop() {
  while (!stopping_) {
    pollfd ready{listener_, POLLIN, 0};
    if (::poll(&ready, 1, 20) <= 0) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(fd);
      break;
    }
    ++accepted_;
    open_.insert(fd);
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

void RawServer::serve(int fd) {
  Connection connection(*this, fd);
  script_(connection);
  if (connection.closed_) return;
  {
    std::lock_guard lock(mutex_);
    open_.erase(fd);
  }
  ::close(fd);
}

bool RawServer::sleepUnlessStopping(std::chrono::milliseconds pause) {
  std::unique_lock lock(mutex_);
  return !wake_.wait_for(lock, pause, [this] { return stopping_.load(); });
}

}  // namespace quorvel::testing
