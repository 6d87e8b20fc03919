// LoopbackServer: a real HTTP server on 127.0.0.1 for tests, on a fresh port, serving in a
// background thread until destroyed. Handlers run on the server's threads; guard what they share.
#pragma once

#include <httplib.h>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
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

  // Binds a free port and starts serving; returns the base address "http://127.0.0.1:PORT".
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
  std::string url(const std::string& path) const { return baseURL() + path; }
  int port() const { return port_; }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};

// Holds handlers that call waitOpen() until open(), or 20 seconds.
class Gate {
 public:
  void open() {
    std::call_once(once_, [this] { opened_.set_value(); });
  }
  void waitOpen() const { std::shared_future<void>(future_).wait_for(std::chrono::seconds(20)); }

 private:
  std::once_flag once_;
  std::promise<void> opened_;
  const std::shared_future<void> future_ = opened_.get_future().share();
};

// Calls start(completion); what the completion gets, or nothing after 30 s.
// A second call of the completion ends the test program.
template <class Value, class Start>
std::optional<Value> awaitCompletion(Start start) {
  auto promise = std::make_shared<std::promise<Value>>();
  std::future<Value> future = promise->get_future();
  start([promise](Value value) { promise->set_value(std::move(value)); });
  if (future.wait_for(std::chrono::seconds(30)) != std::future_status::ready) return std::nullopt;
  return future.get();
}

}  // namespace quorvel::testing
