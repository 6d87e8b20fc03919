// RawServer: a TCP server on 127.0.0.1 that sends every connection, after
// its request head, bytes an HTTP server library will not: a body cut by a
// reset, a chunked body that stops short, a byte a second, a compression it
// does not have. Stopping it wakes and joins every connection.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
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
  // Without a reply it listens but never accepts.
  explicit RawServer(std::optional<RawReply> reply = std::nullopt);
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;
  ~RawServer();
  const std::string& baseURL() const { return baseURL_; }
  int connections() const { return accepted_.load(); }

 private:
  void serve(int fd);
  std::optional<RawReply> reply_;
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
