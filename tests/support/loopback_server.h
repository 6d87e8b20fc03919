// LoopbackServer: a real HTTP server on 127.0.0.1 for tests, on a fresh
// port, serving in a background thread until destroyed.
// Handlers run on the server's threads; guard what they share.
// Gate holds handlers back until a test lets them go; awaitCompletion waits
// for an asynchronous call's completion.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
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
  std::string url(const std::string& path) const { return baseURL() + path; }
  int port() const { return port_; }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};

// Handlers that call waitOpen() stay until open() (at most 20 seconds, so a
// forgotten gate never hangs a test).
class Gate {
 public:
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
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

// Calls start(completion) and returns what the completion gets, or nothing
// after 30 seconds. A second call of the completion ends the test program.
template <class Value, class Start>
std::optional<Value> awaitCompletion(Start start) {
  auto promise = std::make_shared<std::promise<Value>>();
  std::future<Value> future = promise->get_future();
  start([promise](Value value) { promise->set_value(std::move(value)); });
  if (future.wait_for(std::chrono::seconds(30)) != std::future_status::ready) return std::nullopt;
  return future.get();
}

}  // namespace quorvel::testing
