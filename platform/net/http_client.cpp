#include "platform/net/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/foundation/file_access.h"
#include "platform/net/curl_errors.h"

namespace platform::net {

namespace {

using foundation::Status;

constexpr long kMaxRedirects = 10;
// A transfer slower than this many bytes a second for kStallSeconds is
// given up as timed out: a server dripping bytes must not hold a request
// until the total time-out.
constexpr long kStallBytesPerSecond = 100;
constexpr long kStallSeconds = 10;
// Room a JSON parser needs past the end of the body, reserved up front so
// that the body need not be copied to parse it.
constexpr size_t kParserPadding = 64;
// Left as they are in query names and values, besides the unreserved bytes.
constexpr std::string_view kKeptInQuery = "/?";

void initializeCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  CURL* handle = nullptr;
  std::string body;
  size_t maxBodyBytes = 0;
  bool tooLarge = false;
  bool reserved = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const size_t length = size * count;
  if (length > transfer->maxBodyBytes - transfer->body.size()) {
    transfer->tooLarge = true;
    return CURL_WRITEFUNC_ERROR;
  }
  if (!transfer->reserved) {
    transfer->reserved = true;
    curl_off_t expected = -1;
    if (curl_easy_getinfo(transfer->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected) ==
            CURLE_OK &&
        expected > 0 && static_cast<size_t>(expected) <= transfer->maxBodyBytes) {
      transfer->body.reserve(static_cast<size_t>(expected) + kParserPadding);
    }
  }
  transfer->body.append(data, length);
  return length;
}

std::string urlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) return {};
  std::string result(text);
  curl_free(text);
  return result;
}

// "Application/JSON; charset=utf-8" -> "application/json".
std::string mimeTypeOf(const char* contentType) {
  if (contentType == nullptr) return {};
  std::string_view type(contentType);
  type = type.substr(0, type.find(';'));
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
  std::string lower(type);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(c < 0x80 ? std::tolower(c) : c); });
  return lower;
}

// libcurl reads 0 as "no time-out"; here it means "time out at once".
long timeoutMillis(std::chrono::milliseconds timeout) {
  return static_cast<long>(std::max<std::chrono::milliseconds::rep>(timeout.count(), 1));
}

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// A file:// body, read as if served with status 200.
void readRecording(const std::string& path, size_t maxBodyBytes, DataResponse& response) {
  auto bytes = foundation::readRegularFile(path, maxBodyBytes);
  using Code = Status::Code;
  if (bytes.ok()) {
    response.statusCode = 200;
    response.body = std::move(*bytes.value);
  } else if (bytes.status.code() == Code::kNotFound) {
    response.status = Status::NotFound("The file couldn’t be opened because it doesn’t exist.");
  } else if (bytes.status.code() == Code::kTooLarge) {
    response.status = Status::TooLarge("The resource exceeds the maximum size.");
  } else if (std::error_code ec; std::filesystem::is_directory(path, ec)) {
    response.status = Status::IOError("The file couldn’t be opened because it is a folder.");
  } else if (bytes.status.code() == Code::kInvalidArgument) {
    response.status =
        Status::IOError("The file couldn’t be opened because it isn’t a regular file.");
  } else {
    response.status = Status::IOError(
        "The file couldn’t be opened because you don’t have permission to view it.");
  }
}

}  // namespace

std::string redactedURL(std::string_view url) {
  std::unique_ptr<CURLU, CurlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, std::string(url).c_str(),
                              CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return std::string(url);
  }
  if (urlPart(parsed.get(), CURLUPART_PASSWORD).empty()) return std::string(url);
  curl_url_set(parsed.get(), CURLUPART_PASSWORD, "***", 0);
  std::string shown = urlPart(parsed.get(), CURLUPART_URL);
  return shown.empty() ? std::string(url) : shown;
}

std::string percentEscape(std::string_view text, std::string_view keep) {
  std::string out;
  while (!text.empty()) {
    const size_t kept = std::min(text.find_first_of(keep), text.size());
    if (kept > 0) {
      char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(kept));
      if (escaped != nullptr) out += escaped;
      curl_free(escaped);
    }
    if (kept < text.size()) out += text[kept];
    text.remove_prefix(std::min(kept + 1, text.size()));
  }
  return out;
}

std::string encodeURL(std::string_view url, const Parameters& parameters) {
  if (parameters.empty()) return std::string(url);
  const size_t fragment = std::min(url.find('#'), url.size());
  const std::string_view beforeFragment = url.substr(0, fragment);
  std::string out(beforeFragment);
  const size_t queryStart = beforeFragment.find('?');
  if (queryStart == std::string_view::npos) {
    out += '?';
  } else if (queryStart + 1 < beforeFragment.size() && beforeFragment.back() != '&') {
    out += '&';
  }
  bool first = true;
  for (const auto& [name, value] : parameters) {
    if (!first) out += '&';
    first = false;
    out += percentEscape(name, kKeptInQuery);
    out += '=';
    out += percentEscape(value, kKeptInQuery);
  }
  out += url.substr(fragment);
  return out;
}

DataResponse getSync(std::string_view url, const Parameters& parameters,
                     const RequestOptions& options) {
  initializeCurlOnce();
  DataResponse response;
  response.url = encodeURL(url, parameters);

  // Parsing the address up front refuses relative addresses, which libcurl
  // would otherwise complete with a guessed scheme.
  std::unique_ptr<CURLU, CurlDeleter> address(curl_url());
  std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
  if (!address || !handle) {
    response.status = Status::IOError("The request could not be started.");
    return response;
  }
  if (curl_url_set(address.get(), CURLUPART_URL, response.url.c_str(), 0) != CURLUE_OK) {
    response.status = Status::Unsupported("unsupported URL");
    return response;
  }
  const std::string scheme = urlPart(address.get(), CURLUPART_SCHEME);
  const bool isFile = scheme == "file";
  const std::string filePath =
      isFile ? urlPart(address.get(), CURLUPART_PATH, CURLU_URLDECODE) : "";
  if (isFile && !options.httpOnly) {
    // Read here, not by libcurl, which would wait forever on a FIFO and
    // "read" a folder as an empty body.
    readRecording(filePath, options.maxBodyBytes, response);
    return response;
  }

  Transfer transfer;
  transfer.handle = handle.get();
  transfer.maxBodyBytes = options.maxBodyBytes;
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* h = handle.get();
  curl_easy_setopt(h, CURLOPT_CURLU, address.get());
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, options.httpOnly ? "http,https" : "http,https,file");
  // A server can never send the client to a local file.
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");  // every encoding libcurl can decode
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, timeoutMillis(options.connectTimeout));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeoutMillis(options.totalTimeout));
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  // Refuses a declared length over the cap before any byte arrives; the
  // write callback enforces the cap on the decoded bytes either way.
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(std::min<size_t>(
                       options.maxBodyBytes, std::numeric_limits<curl_off_t>::max())));

  const CURLcode code = curl_easy_perform(h);

  long statusCode = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &statusCode);
  char* contentType = nullptr;
  curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType);
  char* effectiveURL = nullptr;
  curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effectiveURL);

  response.statusCode = statusCode;
  response.mimeType = mimeTypeOf(contentType);
  if (effectiveURL != nullptr) response.url = effectiveURL;
  if (code == CURLE_OK && !transfer.tooLarge) {
    // A file read has no status line; a successful one stands for a 200.
    if (isFile && response.statusCode == 0) response.statusCode = 200;
    response.body = std::move(transfer.body);
    return response;
  }
  FailedTransfer failure;
  failure.code = code;
  failure.bodyTooLarge = transfer.tooLarge;
  failure.host = urlPart(address.get(), CURLUPART_HOST);
  failure.filePath = filePath;
  failure.detail = errorText;
  response.status = statusForFailedTransfer(failure);
  return response;
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
    response.status = Status::IOError("The request could not be started.");
    if (*shared) (*shared)(std::move(response));
  });
}

}  // namespace platform::net
