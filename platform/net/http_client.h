// The platform's HTTP client (GET only), on libcurl.
//
// A request sends no headers of its own beyond libcurl's defaults and an
// Accept-Encoding offering compressed transfer; TLS peers are always
// verified; redirects are followed (at most 10, and only to http or https).
// `file://` addresses are read as if served with status 200, so a recorded
// response can stand in for a server. The status code is not judged here:
// a 404 with a body is a successful transfer; the caller decides.
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

namespace platform::net {

namespace foundation = ::platform::foundation;

// Query parameters in the order they are written.
using Parameters = std::vector<std::pair<std::string, std::string>>;

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
  // zero or less expires at once.
  std::chrono::milliseconds connectTimeout{10000};
  std::chrono::milliseconds totalTimeout{30000};
  // A body that would grow past this fails with kTooLarge as soon as it
  // does; the excess is never kept.
  size_t maxBodyBytes = 32u << 20;
  // Only http and https, also for the first address (no file://).
  bool httpOnly = false;
};

// `url` for a log line: a password in it shows as "***"; an address
// without one comes back unchanged.
std::string redactedURL(std::string_view url);

// `text` with every byte but letters, digits, "-._~" and those in `keep`
// percent-escaped ("%2F"), by libcurl.
std::string percentEscape(std::string_view text, std::string_view keep = {});

// `url` with `parameters` appended as a query: "?name=value&..." (or "&..."
// when `url` already has a query, before any "#fragment"). Names and values
// are percent-escaped, keeping only letters, digits, "-._~" and "/?".
// With no parameters `url` comes back unchanged.
std::string encodeURL(std::string_view url, const Parameters& parameters);

// Starts a GET of encodeURL(url, parameters) and returns at once.
// `completion` (may be empty: the request is still made) gets the response.
void get(std::string url, Parameters parameters, RequestOptions options,
         std::function<void(DataResponse)> completion);

// The same transfer on the calling thread, for tools and tests. Blocks up to
// about options.totalTimeout. Never call it on the main queue.
DataResponse getSync(std::string_view url, const Parameters& parameters,
                     const RequestOptions& options);

}  // namespace platform::net
