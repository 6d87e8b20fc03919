// Test-only helpers for this folder: LocalTestServer, a real HTTP server on
// 127.0.0.1 on a fresh port each time (register handlers on server() before
// start(); the destructor stops it and joins its thread); awaitDelivery,
// which waits for a request's completion; Gate, which holds a handler back;
// RefusingPort, a port that refuses connections.
#pragma once

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "tests/support/test_support.h"

namespace platform::net::testing {

class LocalTestServer {
 public:
  LocalTestServer() = default;
  LocalTestServer(const LocalTestServer&) = delete;
  LocalTestServer& operator=(const LocalTestServer&) = delete;
  ~LocalTestServer() {
    if (!thread_.joinable()) return;
    // stop() only works once the accept loop runs.
    quorvel::testing::waitUntil([this] { return server_.is_running(); });
    server_.stop();
    thread_.join();
  }

  httplib::Server& server() { return server_; }

  // Binds and serves; connections queue from the moment this returns.
  void start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }

  int port() const { return port_; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = -1;
};

// What a completion handed over, and where.
template <class Response>
struct Delivery {
  std::mutex mutex;
  int calls = 0;
  std::optional<Response> response;
  std::thread::id thread;
  bool onMainThread = true;
};

// Starts a request with `start(completion)` and waits for its completion.
// The delivery is shared so a late completion never writes to a dead frame.
template <class Response, class Start>
std::shared_ptr<Delivery<Response>> awaitDelivery(Start start) {
  auto delivery = std::make_shared<Delivery<Response>>();
  start([delivery](Response response) {
    std::lock_guard lock(delivery->mutex);
    ++delivery->calls;
    delivery->response = std::move(response);
    delivery->thread = std::this_thread::get_id();
    delivery->onMainThread = foundation::DispatchQueue::isMainThread();
  });
  quorvel::testing::waitUntil(
      [&] {
        std::lock_guard lock(delivery->mutex);
        return delivery->calls > 0;
      },
      std::chrono::seconds(30));
  return delivery;
}

// Holds handlers back until the test lets them go (or a safety limit).
class Gate {
 public:
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  void waitOpen() {
    std::unique_lock lock(mutex_);
    opened_.wait_for(lock, std::chrono::seconds(20), [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// A port on 127.0.0.1 that refuses connections: bound, never listening.
class RefusingPort {
 public:
  RefusingPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  ~RefusingPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace platform::net::testing
