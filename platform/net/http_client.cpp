#include "platform/net/http_client.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/foundation/file_access.h"
#include "platform/net/transfer_errors.h"

namespace platform::net {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kMaxRedirects = 10;
// A transfer slower than this many bytes a second for kStallTime is given
// up as timed out: a server dripping bytes must not hold a request until
// the total time-out.
constexpr size_t kStallBytesPerSecond = 100;
constexpr std::chrono::seconds kStallTime{10};
// Room a JSON parser needs past the end of the body, reserved up front so
// that the body need not be copied to parse it.
constexpr size_t kParserPadding = 64;

// "Application/JSON; charset=utf-8" -> "application/json".
std::string mimeTypeOf(std::string_view type) {
  type = type.substr(0, type.find(';'));
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
  std::string lower(type);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(c < 0x80 ? std::tolower(c) : c); });
  return lower;
}

// One request and its response, received into `response`.
struct Exchange {
  Exchange(const RequestOptions& options, Clock::time_point deadline, DataResponse& response)
      : options(options), deadline(deadline), response(response) {}

  const RequestOptions& options;
  const Clock::time_point deadline;
  DataResponse& response;
  std::string location;  // of a redirect, which is not read further
  std::unique_ptr<httplib::detail::decompressor> decoder;
  std::optional<Failure> failure;
  Clock::time_point lastBytes = Clock::now(), windowStart = lastBytes;
  size_t windowBytes = 0;

  // Judges the status line and headers before any of the body is read.
  bool head(const httplib::Response& head) {
    response.statusCode = head.status;
    response.mimeType = mimeTypeOf(head.get_header_value("Content-Type"));
    if (head.status / 100 == 3 && head.has_header("Location")) {
      location = head.get_header_value("Location");
      return false;
    }
    const std::string encoding = mimeTypeOf(head.get_header_value("Content-Encoding"));
    if (encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate") {
      decoder = std::make_unique<httplib::detail::gzip_decompressor>();
    } else if (encoding == "br") {
      decoder = std::make_unique<httplib::detail::brotli_decompressor>();
    } else if (!encoding.empty() && encoding != "identity") {
      return fail(Failure::kUndecodable);
    }
    const std::string length = head.get_header_value("Content-Length");
    size_t declared = 0;
    if (std::from_chars(length.data(), length.data() + length.size(), declared).ec == std::errc()) {
      if (declared > options.maxBodyBytes) return fail(Failure::kTooLarge);
      response.body.reserve(declared + kParserPadding);
    }
    return true;
  }

  bool receive(const char* data, size_t size) {
    const auto now = Clock::now();
    if (now >= deadline) return fail(Failure::kTimedOut);
    lastBytes = now;
    windowBytes += size;
    if (now - windowStart >= kStallTime) {
      if (windowBytes < kStallBytesPerSecond * kStallTime.count()) return fail(Failure::kTimedOut);
      windowStart = now;
      windowBytes = 0;
    }
    if (!decoder) return keep(data, size);
    if (decoder->decompress(data, size,
                            [this](const char* bytes, size_t n) { return keep(bytes, n); }))
      return true;
    return fail(failure.value_or(Failure::kUndecodable));
  }

  // The excess past the cap is never kept.
  bool keep(const char* data, size_t size) {
    if (size > options.maxBodyBytes - response.body.size()) return fail(Failure::kTooLarge);
    response.body.append(data, size);
    return true;
  }

  bool fail(Failure why) {
    failure = why;
    return false;
  }
};

// A GET of `url` (http or https) into `exchange`; cpp-httplib's verdict.
httplib::Error fetch(const URL& url, Exchange& exchange) {
  std::unique_ptr<httplib::ClientImpl> client;
  if (url.scheme == "https") {  // only then is OpenSSL set up
    auto secure = std::make_unique<httplib::SSLClient>(url.host, url.port);
    secure->enable_server_certificate_verification(true);
    client = std::move(secure);
  } else {
    client = std::make_unique<httplib::ClientImpl>(url.host, url.port);
  }
  // Whole milliseconds rounded up, so that a read timing out is past the deadline.
  const auto remaining = std::chrono::ceil<milliseconds>(exchange.deadline - Clock::now());
  client->set_connection_timeout(std::min(remaining, exchange.options.connectTimeout));
  client->set_read_timeout(std::min<milliseconds>(remaining, kStallTime));
  client->set_write_timeout(remaining);
  client->set_decompress(false);  // decoded in Exchange, to tell bad data from a lost connection
  client->set_url_encode(false);  // the target is escaped already
  if (!url.user.empty() || !url.password.empty())  // as a browser does with "user:password@"
    client->set_basic_auth(percentDecode(url.user), percentDecode(url.password));
  // Per-read time-outs cannot bound a server dripping its headers; this can.
  std::jthread watchdog([&client, deadline = exchange.deadline](std::stop_token done) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    if (!wake.wait_until(lock, done, deadline, [&done] { return done.stop_requested(); }))
      client->stop();
  });
  const auto result = client->Get(
      url.target, {{"Accept-Encoding", "gzip, deflate, br"}},
      [&](const httplib::Response& head) { return exchange.head(head); },
      [&](const char* data, size_t size) { return exchange.receive(data, size); });
  // An SSLClient without an OpenSSL context fails without naming an error.
  return result || result.error() != httplib::Error::Success ? result.error()
                                                             : httplib::Error::Unknown;
}

// A file:// body, read as if served with status 200.
void readRecording(const URL& url, size_t maxBodyBytes, DataResponse& response) {
  const std::string path =
      percentDecode(std::string_view(url.target).substr(0, url.target.find('?')));
  auto bytes = foundation::readRegularFile(path, maxBodyBytes);
  if (!bytes.ok()) {
    response.status = statusForFileRead(bytes.status, path);
    return;
  }
  response.statusCode = 200;
  response.body = std::move(*bytes.value);
}

}  // namespace

DataResponse getSync(std::string_view address, const Parameters& parameters,
                     const RequestOptions& options) {
  const auto deadline = Clock::now() + options.totalTimeout;
  DataResponse response;
  response.url = encodeURL(address, parameters);
  std::optional<URL> url = splitURL(response.url);
  if (url && url->scheme == "file" && !options.httpOnly &&
      (url->host.empty() || url->host == "localhost")) {
    readRecording(*url, options.maxBodyBytes, response);
    return response;
  }
  for (int redirects = 0;; ++redirects) {
    if (!url || (url->scheme != "http" && url->scheme != "https") || url->host.empty()) {
      response.status = statusFor(Failure::kUnsupportedURL);
      return response;
    }
    if (Clock::now() >= deadline || options.connectTimeout <= milliseconds(0)) {
      response.status = statusFor(Failure::kTimedOut);
      return response;
    }
    Exchange exchange{options, deadline, response};
    const httplib::Error error = fetch(*url, exchange);
    if (!exchange.location.empty() && redirects == kMaxRedirects) {
      response.status = statusFor(Failure::kTooManyRedirects);
      return response;
    }
    if (!exchange.location.empty()) {
      response.url = resolveURL(response.url, exchange.location);
      url = splitURL(response.url);
      continue;
    }
    if (error == httplib::Error::Success) return response;
    const bool stalled =
        error == httplib::Error::Read && Clock::now() - exchange.lastBytes >= kStallTime;
    if (exchange.failure) {
      response.status = statusFor(*exchange.failure);
    } else if (stalled || Clock::now() >= deadline) {
      response.status = statusFor(Failure::kTimedOut);
    } else {
      response.status = statusFor(error, url->host);
    }
    response.body.clear();
    return response;
  }
}

void get(std::string url, Parameters parameters, RequestOptions options,
         std::function<void(DataResponse)> completion) {
  // The blocking transfer runs on a global worker; the pool grows past
  // workers blocked like this one, so other background work is not held up.
  auto shared = std::make_shared<std::function<void(DataResponse)>>(std::move(completion));
  const bool started = foundation::DispatchQueue::global().tryAsync(
      [url = std::move(url), parameters = std::move(parameters), options, shared] {
        DataResponse response = getSync(url, parameters, options);
        if (*shared) (*shared)(std::move(response));
      });
  if (started) return;
  // Without a worker the request cannot run, but it still ends, with an
  // error, outside this call.
  foundation::DispatchQueue::main().async([shared] {
    DataResponse response;
    response.status = statusFor(Failure::kNotStarted);
    if (*shared) (*shared)(std::move(response));
  });
}

}  // namespace platform::net
