// The HTTP client's transport: a TCP connection as a stream of bytes whose
// every wait ends by a given instant, plain here or wrapped in TLS by the
// TLS module. Internal to the HTTP client; a stream is used by one thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace platform::net {

using Clock = std::chrono::steady_clock;

// How a step of a transfer ended.
enum class Transport {
  kDone,
  kNoConnection,  // no address of the host took the connection
  kTimedOut,
  kLost,         // the peer ended or broke the connection, or sent what is not HTTP
  kCertificate,  // the peer's certificate is not trusted for the host
  kTLS,          // any other TLS failure, the module missing included
};

// Bytes moved, or why none were: a read of 0 bytes that is kDone is the
// peer's orderly end.
struct Moved {
  size_t bytes = 0;
  Transport outcome = Transport::kDone;
};

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  virtual Moved read(char* data, size_t size, Clock::time_point until) = 0;
  virtual Moved write(const char* data, size_t size, Clock::time_point until) = 0;
};

// Waits until `fd` is ready for `events` (POLLIN, POLLOUT); false when
// `until` passes first.
bool waitReady(int fd, short events, Clock::time_point until);

// A non-blocking socket connected to `host`:`port` (tried address by
// address), or -1 with why in `outcome`.
int connectTCP(const std::string& host, int port, Clock::time_point until, Transport& outcome);

// The stream over the connected socket `fd`, which it closes.
std::unique_ptr<ByteStream> plainStream(int fd);

}  // namespace platform::net
