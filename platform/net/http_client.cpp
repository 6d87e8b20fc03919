#include "platform/net/http_client.h"

#include <brotli/decode.h>
#include <fmt/format.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/foundation/file_access.h"
#include "platform/foundation/program_folder.h"
#include "platform/net/socket_stream.h"
#include "platform/net/tls_module.h"
#include "platform/net/transfer_errors.h"

namespace platform::net {

namespace {

constexpr int kMaxRedirects = 10;
// A transfer slower than this many bytes a second for kStallTime is given
// up as timed out: a server dripping bytes must not hold a request until
// the total time-out.
constexpr size_t kStallBytesPerSecond = 100;
constexpr std::chrono::seconds kStallTime{10};
// Room a JSON parser needs past the end of the body, reserved up front so
// that the body need not be copied to parse it.
constexpr size_t kParserPadding = 64;

constexpr size_t kReadBytes = 128 << 10;
// A status line and header fields longer than this are not an HTTP answer.
constexpr size_t kMaxHeadBytes = 64 << 10;

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

// The status line and header fields of a response.
struct Head {
  long status = 0;
  std::vector<std::pair<std::string, std::string>> fields;  // names in lower case

  // The first field named `name` (lower case), or "".
  std::string field(std::string_view name) const {
    for (const auto& [key, value] : fields)
      if (key == name) return value;
    return {};
  }

  // `text` (lines up to the blank one) read; false when it is not HTTP.
  bool parse(std::string_view text) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.starts_with("HTTP/1.") || line.size() < 12 || line[8] != ' ') return false;
    if (std::from_chars(line.data() + 9, line.data() + 12, status).ptr != line.data() + 12)
      return false;
    for (size_t at = end; at != std::string_view::npos && at + 1 < text.size();) {
      const size_t next = text.find('\n', at + 1);
      line = text.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
      at = next;
      const size_t colon = line.find(':');
      if (colon == std::string_view::npos) continue;
      std::string value(line.substr(colon + 1));
      value.erase(0, value.find_first_not_of(" \t"));
      value.erase(value.find_last_not_of(" \t\r") + 1);
      fields.emplace_back(mimeTypeOf(line.substr(0, colon)), std::move(value));
    }
    return true;
  }
};

// A Content-Encoding undone as the body arrives; false from `decode` when
// the bytes are not what the encoding makes (or `keep` refused them).
class Decoder {
 public:
  using Keep = std::function<bool(const char*, size_t)>;
  virtual ~Decoder() = default;
  virtual bool decode(const char* data, size_t size, const Keep& keep) = 0;
};

// gzip, and deflate with or without its zlib wrapper.
class Inflater final : public Decoder {
 public:
  // A stream that failed to start makes inflate fail, and so the body.
  Inflater() { inflateInit2(&stream_, 15 + 32); }
  ~Inflater() override { inflateEnd(&stream_); }
  bool decode(const char* data, size_t size, const Keep& keep) override {
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream_.avail_in = static_cast<uInt>(size);
    char out[16384];
    // Inflate stops when the input is used up, the output buffer is full or
    // the stream ended; only a full buffer may leave output pending.
    for (;;) {
      stream_.next_out = reinterpret_cast<Bytef*>(out);
      stream_.avail_out = sizeof out;
      const int result = inflate(&stream_, Z_NO_FLUSH);
      if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return false;
      if (!keep(out, sizeof out - stream_.avail_out)) return false;
      // What follows the stream is not the body.
      if (stream_.avail_out > 0) return true;
    }
  }

 private:
  z_stream stream_{};
};

class BrotliDecoder final : public Decoder {
 public:
  ~BrotliDecoder() override { BrotliDecoderDestroyInstance(state_); }
  bool decode(const char* data, size_t size, const Keep& keep) override {
    auto in = reinterpret_cast<const uint8_t*>(data);
    for (;;) {
      uint8_t out[16384];
      uint8_t* next = out;
      size_t room = sizeof out;
      const auto result = BrotliDecoderDecompressStream(state_, &size, &in, &room, &next, nullptr);
      if (result == BROTLI_DECODER_RESULT_ERROR) return false;
      if (!keep(reinterpret_cast<const char*>(out), sizeof out - room)) return false;
      if (result != BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT) return true;
    }
  }

 private:
  BrotliDecoderState* state_ = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
};

// One request and its response, received into `response`.
struct Exchange {
  Exchange(const RequestOptions& options, Clock::time_point deadline, DataResponse& response)
      : options(options), deadline(deadline), response(response) {}

  const RequestOptions& options;
  const Clock::time_point deadline;
  DataResponse& response;
  std::string location;          // of a redirect, which is not read further
  std::optional<size_t> length;  // the body's, when the head declares it
  std::unique_ptr<Decoder> decoder;
  std::optional<Failure> failure;
  Clock::time_point windowStart = Clock::now();
  size_t windowBytes = 0;

  // Each wait ends at the deadline, or once no byte came for kStallTime.
  Clock::time_point waitUntil() const { return std::min(deadline, Clock::now() + kStallTime); }

  // Judges the status line and headers before any of the body is read.
  bool head(const Head& head) {
    response.statusCode = head.status;
    response.mimeType = mimeTypeOf(head.field("content-type"));
    if (head.status / 100 == 3) location = head.field("location");
    if (!location.empty()) return false;
    const std::string encoding = mimeTypeOf(head.field("content-encoding"));
    if (encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate") {
      decoder = std::make_unique<Inflater>();
    } else if (encoding == "br") {
      decoder = std::make_unique<BrotliDecoder>();
    } else if (!encoding.empty() && encoding != "identity") {
      return fail(Failure::kUndecodable);
    }
    const std::string declared = head.field("content-length");
    size_t bytes = 0;
    if (std::from_chars(declared.data(), declared.data() + declared.size(), bytes).ec ==
        std::errc()) {
      if (bytes > options.maxBodyBytes) return fail(Failure::kTooLarge);
      response.body.reserve(bytes + kParserPadding);
      length = bytes;
    }
    return true;
  }

  bool receive(const char* data, size_t size) {
    const auto now = Clock::now();
    if (now >= deadline) return fail(Failure::kTimedOut);
    windowBytes += size;
    if (now - windowStart >= kStallTime) {
      if (windowBytes < kStallBytesPerSecond * kStallTime.count()) return fail(Failure::kTimedOut);
      windowStart = now;
      windowBytes = 0;
    }
    if (!decoder) return keep(data, size);
    if (decoder->decode(data, size, [this](const char* bytes, size_t n) { return keep(bytes, n); }))
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

// Reads one response from `stream` into `exchange`: the head, then the body
// as its fields frame it (a length, chunks, or up to the end).
class ResponseReader {
 public:
  ResponseReader(ByteStream& stream, Exchange& exchange)
      : stream_(stream), exchange_(exchange), buffer_(kReadBytes, '\0') {}

  Transport read() {
    Head head;
    do {  // an interim 1xx answer is followed by the real one
      head = Head();
      std::string_view text;
      if (const Transport t = until("\r\n\r\n", text); t != Transport::kDone) return t;
      if (!head.parse(text)) return Transport::kLost;
    } while (head.status / 100 == 1);
    if (!exchange_.head(head)) return Transport::kLost;
    if (head.status == 204 || head.status == 304) return Transport::kDone;
    if (head.field("transfer-encoding").find("chunked") != std::string::npos) return chunks();
    return body(exchange_.length);
  }

 private:
  // `text` is what comes before the next `separator`, which is passed.
  Transport until(std::string_view separator, std::string_view& text) {
    for (;;) {
      const std::string_view unread(buffer_.data() + begin_, end_ - begin_);
      if (const size_t at = unread.find(separator); at != std::string_view::npos) {
        text = unread.substr(0, at);
        begin_ += at + separator.size();
        return Transport::kDone;
      }
      if (unread.size() >= kMaxHeadBytes) return Transport::kLost;
      if (const Transport t = more(); t != Transport::kDone) return t;
      if (ended_) return Transport::kLost;
    }
  }

  // `length` bytes of body, or all up to the end when there is no length.
  Transport body(std::optional<size_t> length) {
    for (size_t left = length.value_or(SIZE_MAX); left > 0;) {
      if (begin_ == end_) {
        if (const Transport t = more(); t != Transport::kDone) return t;
        if (ended_) return length ? Transport::kLost : Transport::kDone;
      }
      const size_t take = std::min(left, end_ - begin_);
      if (!exchange_.receive(buffer_.data() + begin_, take)) return Transport::kLost;
      begin_ += take;
      left -= take;
    }
    return Transport::kDone;
  }

  Transport chunks() {
    for (std::string_view line;;) {
      if (const Transport t = until("\r\n", line); t != Transport::kDone) return t;
      size_t size = 0;
      const auto parsed = std::from_chars(line.data(), line.data() + line.size(), size, 16);
      if (parsed.ptr == line.data() || parsed.ec != std::errc()) return Transport::kLost;
      if (size == 0) return Transport::kDone;  // trailer fields, if any, are not read
      if (const Transport t = body(size); t != Transport::kDone) return t;
      if (const Transport t = until("\r\n", line); t != Transport::kDone || !line.empty())
        return Transport::kLost;
    }
  }

  // More bytes after the unread ones; ended_ once the peer ends.
  Transport more() {
    if (begin_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    if (end_ == buffer_.size()) return Transport::kLost;
    const Moved moved =
        stream_.read(buffer_.data() + end_, buffer_.size() - end_, exchange_.waitUntil());
    end_ += moved.bytes;
    ended_ = moved.outcome == Transport::kDone && moved.bytes == 0;
    return moved.outcome;
  }

  ByteStream& stream_;
  Exchange& exchange_;
  std::string buffer_;
  size_t begin_ = 0, end_ = 0;  // the unread bytes
  bool ended_ = false;
};

std::string base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t at = 0; at < bytes.size(); at += 3) {
    uint32_t group = static_cast<uint8_t>(bytes[at]) << 16;
    if (at + 1 < bytes.size()) group |= static_cast<uint8_t>(bytes[at + 1]) << 8;
    if (at + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[at + 2]);
    for (size_t digit = 0; digit < 4; ++digit)
      out += at + digit <= bytes.size() ? kDigits[(group >> (18 - 6 * digit)) & 63] : '=';
  }
  return out;
}

// The request's bytes: only what the client needs, and one connection per request.
std::string requestFor(const URL& url) {
  const bool usual = url.port == (url.scheme == "https" ? 443 : 80);
  const std::string host =
      url.host.find(':') == std::string::npos ? url.host : "[" + url.host + "]";
  std::string request = fmt::format(
      "GET {} HTTP/1.1\r\nHost: {}{}\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate, br\r\n"
      "User-Agent: platform-net/1\r\nConnection: close\r\n",
      url.target, host, usual ? "" : ":" + std::to_string(url.port));
  if (!url.user.empty() || !url.password.empty())  // as a browser does with "user:password@"
    request += "Authorization: Basic " +
               base64(percentDecode(url.user) + ":" + percentDecode(url.password)) + "\r\n";
  return request + "\r\n";
}

// The TLS module, loaded on the first https request; none when it cannot be.
const TLSModule* tlsModule() {
  static const auto loaded = foundation::loadModule<TLSModule>(
      TLS_MODULE_FROM_PROGRAM, kTLSModuleEntry, kTLSModuleInterfaceVersion);
  return loaded.ok() ? *loaded.value : nullptr;
}

// A GET of `url` (http or https) into `exchange`.
Transport fetch(const URL& url, Exchange& exchange) {
  Transport outcome;
  const int fd = connectTCP(
      url.host, url.port,
      std::min(exchange.deadline, Clock::now() + exchange.options.connectTimeout), outcome);
  if (fd == -1) return outcome;
  std::unique_ptr<ByteStream> stream;
  if (url.scheme != "https") {
    stream = plainStream(fd);
  } else if (const TLSModule* tls = tlsModule()) {
    stream = tls->secure(fd, url.host, exchange.deadline, outcome);
    if (!stream) return outcome;
  } else {
    ::close(fd);
    return Transport::kTLS;
  }
  const std::string request = requestFor(url);
  for (std::string_view left = request; !left.empty();) {
    const Moved moved = stream->write(left.data(), left.size(), exchange.deadline);
    if (moved.outcome != Transport::kDone) return moved.outcome;
    left.remove_prefix(moved.bytes);
  }
  return ResponseReader(*stream, exchange).read();
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
    if (Clock::now() >= deadline) {
      response.status = statusFor(Failure::kTimedOut);
      return response;
    }
    Exchange exchange{options, deadline, response};
    const Transport outcome = fetch(*url, exchange);
    if (!exchange.location.empty() && redirects == kMaxRedirects) {
      response.status = statusFor(Failure::kTooManyRedirects);
      return response;
    }
    if (!exchange.location.empty()) {
      response.url = resolveURL(response.url, exchange.location);
      url = splitURL(response.url);
      continue;
    }
    if (exchange.failure) {
      response.status = statusFor(*exchange.failure);
    } else if (outcome == Transport::kDone) {
      return response;
    } else {
      response.status = statusFor(outcome, url->host);
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
