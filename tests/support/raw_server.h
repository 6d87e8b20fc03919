// A TCP server on 127.0.0.1 that answers every request head with bytes an
// HTTP server library will not send: a body cut by a reset, a byte a second.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::testing {

struct RawReply {
  std::string bytes;
  std::chrono::milliseconds pause{0};  // before each byte, when not 0
  bool reset = false;                  // end with a TCP reset, not an orderly close
  bool hold = false;                   // keep the connection open and silent
};

class RawServer {
 public:
  explicit RawServer(RawReply reply);
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;
  ~RawServer();
  const std::string& baseURL() const { return baseURL_; }
  int connections() const { return accepted_.load(); }

 private:
  void serve(int fd);
  RawReply reply_;
  int listener_ = -1;
  std::string baseURL_;
  std::atomic<int> accepted_{0};
  bool stopping_ = false;  // guarded by mutex_
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<int> open_;             // guarded by mutex_
  std::vector<std::thread> threads_;  // guarded by mutex_ until the acceptor ends
  std::thread acceptor_;
};

// A response head of `statusLine` and the non-empty `fields`.
std::string responseHead(const std::string& statusLine, const std::vector<std::string>& fields);

}  // namespace quorvel::testing
