// RawServer: a TCP server on 127.0.0.1 that answers every connection by
// running a script over the bare socket. It produces what an HTTP server
// library will not: a reset in the middle of a body, a chunked body that
// stops short, a byte a second, a body that claims a compression it does
// not have, a listener that never accepts.
//
// Each connection runs its script on its own thread; the destructor wakes
// every script (sends fail, pauses end) and joins them, so a script that
// holds a connection open does not outlive the test.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quorvel::testing {

class RawServer {
 public:
  class Connection {
   public:
    Connection(RawServer& server, int fd) : server_(server), fd_(fd) {}
    // Reads through the blank line that ends the request head; what it read
    // (empty when the client left first).
    std::string readRequestHead();
    // Sends all of `bytes`; false once the client is gone or the server stops.
    bool send(std::string_view bytes);
    // Sends `bytes` one at a time with `pause` before each; false as send().
    bool trickle(std::string_view bytes, std::chrono::milliseconds pause);
    // Keeps the connection open and silent until the server stops.
    void holdOpen();
    // Ends the connection with a TCP reset instead of an orderly close.
    void reset();

   private:
    friend class RawServer;
    RawServer& server_;
    int fd_;
    bool closed_ = false;
  };
  using Script = std::function<void(Connection&)>;

  // With no script the server listens but never accepts: connections stay
  // in the kernel's queue and never see a byte.
  explicit RawServer(Script script = nullptr);
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;
  ~RawServer();

  // Binds a free port and starts; returns "http://127.0.0.1:PORT".
  std::string start();
  std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // Connections accepted so far.
  int connections() const { return accepted_.load(); }

 private:
  void acceptLoop();
  void serve(int fd);
  // Waits up to `pause`; false when the server is stopping.
  bool sleepUnlessStopping(std::chrono::milliseconds pause);

  Script script_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::set<int> open_;  // sockets of running scripts, guarded by mutex_
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace quorvel::testing
