#include "platform/net/curl_errors.h"

#include <filesystem>
#include <system_error>

namespace platform::net {

namespace {

using Code = foundation::Status::Code;
using foundation::Status;

constexpr const char* kCannotConnect = "Could not connect to the server.";
constexpr const char* kTimedOut = "The request timed out.";
constexpr const char* kHostNotFound = "A server with the specified hostname could not be found.";
constexpr const char* kConnectionLost = "The network connection was lost.";
constexpr const char* kSecureConnectionFailed =
    "An SSL error has occurred and a secure connection to the server cannot be made.";
constexpr const char* kTooLarge = "The resource exceeds the maximum size.";
constexpr const char* kNoSuchFile = "The file couldn’t be opened because it doesn’t exist.";
constexpr const char* kNoPermission =
    "The file couldn’t be opened because you don’t have permission to view it.";

Status fileReadFailure(const FailedTransfer& transfer) {
  std::error_code error;
  if (!transfer.filePath.empty() && !std::filesystem::exists(transfer.filePath, error)) {
    return Status::NotFound(kNoSuchFile);
  }
  return Status::IOError(kNoPermission);
}

}  // namespace

Status statusForFailedTransfer(const FailedTransfer& transfer) {
  if (transfer.bodyTooLarge) return Status::TooLarge(kTooLarge);
  switch (transfer.code) {
    case CURLE_OK:
      return Status();
    case CURLE_FILESIZE_EXCEEDED:
      return Status::TooLarge(kTooLarge);
    case CURLE_OPERATION_TIMEDOUT:
      return Status::TimedOut(kTimedOut);
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return Status::Network(kCannotConnect);
    case CURLE_COULDNT_RESOLVE_HOST:
      return Status::Network(kHostNotFound);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
    case CURLE_QUIC_CONNECT_ERROR:
      return Status::Network(kConnectionLost);
    case CURLE_PEER_FAILED_VERIFICATION:
      return Status::Network(
          "The certificate for this server is invalid. You might be connecting to a server that is "
          "pretending to be “" +
          transfer.host + "” which could put your confidential information at risk.");
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
      return Status::Network(kSecureConnectionFailed);
    case CURLE_TOO_MANY_REDIRECTS:
      return Status::Network("too many HTTP redirects");
    case CURLE_UNSUPPORTED_PROTOCOL:
      return Status::Unsupported("unsupported URL");
    case CURLE_URL_MALFORMAT:
      return Status::InvalidArgument("bad URL");
    case CURLE_WEIRD_SERVER_REPLY:
      return Status::Network("bad server response");
    case CURLE_BAD_CONTENT_ENCODING:
      return Status::Parse("cannot decode raw data");
    case CURLE_FILE_COULDNT_READ_FILE:
    case CURLE_READ_ERROR:
      return fileReadFailure(transfer);
    case CURLE_OUT_OF_MEMORY:
      return Status::IOError("The operation couldn’t be completed: out of memory.");
    default:
      break;
  }
  std::string detail =
      transfer.detail.empty() ? curl_easy_strerror(transfer.code) : transfer.detail;
  return Status::Network("The operation couldn’t be completed. (" + detail + ")");
}

}  // namespace platform::net
