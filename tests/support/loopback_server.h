// LoopbackServer: a real HTTP server on 127.0.0.1 for tests, on a fresh
// port, serving in a background thread until destroyed.
// Handlers run on the server's threads; guard what they share.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

namespace quorvel::testing {

class LoopbackServer {
 public:
  LoopbackServer() : server_(std::make_unique<httplib::Server>()) {}
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  ~LoopbackServer() { stop(); }

  httplib::Server& server() { return *server_; }

  // Binds a free port and starts serving; returns the base address
  // "http://127.0.0.1:PORT".
  std::string start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // The socket already listens after bind; wait only for the accept loop.
    while (!server_->is_running()) std::this_thread::yield();
    return baseURL();
  }

  void stop() {
    if (thread_.joinable()) {
      server_->stop();
      thread_.join();
    }
  }

  std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int port() const { return port_; }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace quorvel::testing
