// The platform's HTTP client (GET only): HTTP/1.1 on plain sockets.
//
// A request sends only Host, Accept, Accept-Encoding (gzip, deflate, br:
// decoded here), the User-Agent "platform-net/1", "Connection: close" (one
// connection per request) and, for an address with "user:password@", Basic
// authorization. A body is framed by its length, by chunks, or by the end
// of the connection; interim 1xx answers are skipped. https goes through
// OpenSSL (the module libquorvel_tls.so, loaded on the first https request)
// with the peer's certificate and host name, or IP address, always verified
// against the system's CA paths; an http or file request never loads it.
// Redirects are followed (at most 10, and only to http or https; relative
// Locations are resolved). `file://` addresses are read as if served with
// status 200, so a recorded response can stand in for a server. The status
// code is not judged here: a 404 with a body is a successful transfer; the
// caller decides. Proxy variables (http_proxy...) are not read, a host name
// that does not resolve reads as "Could not connect to the server.", and a
// reply that is not HTTP as "The network connection was lost.".
//
// Safe from any thread. Completions run exactly once on
// DispatchQueue::global(), never inside the call that started the request;
// when no worker can be started, on the main queue with an error.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/status.h"
#include "platform/net/url.h"

namespace platform::net {

namespace foundation = ::platform::foundation;

struct DataResponse {
  // A transport failure (no connection, time-out, TLS, body over the cap...),
  // with a description a person can read; ok for any status code.
  foundation::Status status;
  long statusCode = 0;   // 0 when no response arrived; 200 for a file read
  std::string mimeType;  // "application/json", lower case, no parameters
  std::string body;      // decoded (decompressed) bytes; empty on failure
  std::string url;       // the address finally fetched, after redirects
};

struct RequestOptions {
  // Both time-outs report "The request timed out."; so does a transfer that
  // stays below a trickle (100 bytes a second) for 10 seconds. A time-out of
  // zero or less expires at once. The total time-out holds even against a
  // server that drips its headers: a watchdog closes the socket then.
  std::chrono::milliseconds connectTimeout{10000};
  std::chrono::milliseconds totalTimeout{30000};
  // A body that would grow past this fails with kTooLarge as soon as it
  // does; the excess is never kept.
  size_t maxBodyBytes = 32u << 20;
  // Only http and https, also for the first address (no file://).
  bool httpOnly = false;
};

// Starts a GET of encodeURL(url, parameters) and returns at once.
// `completion` (may be empty: the request is still made) gets the response.
void get(std::string url, Parameters parameters, RequestOptions options,
         std::function<void(DataResponse)> completion);

// The same transfer on the calling thread, for tools and tests. Blocks up to
// about options.totalTimeout. Never call it on the main queue.
DataResponse getSync(std::string_view url, const Parameters& parameters,
                     const RequestOptions& options);

}  // namespace platform::net
