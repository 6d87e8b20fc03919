#include "platform/net/transfer_errors.h"

#include <filesystem>
#include <system_error>

namespace platform::net {

using Code = foundation::Status::Code;
using foundation::Status;

Status statusFor(Failure failure) {
  switch (failure) {
    case Failure::kNotStarted:
      return Status::IOError("The request could not be started.");
    case Failure::kTimedOut:
      return Status::TimedOut("The request timed out.");
    case Failure::kTooLarge:
      return Status::TooLarge("The resource exceeds the maximum size.");
    case Failure::kUndecodable:
      return Status::Parse("cannot decode raw data");
    case Failure::kTooManyRedirects:
      return Status::Network("too many HTTP redirects");
    case Failure::kUnsupportedURL:
      break;
  }
  return Status::Unsupported("unsupported URL");
}

Status statusFor(Transport outcome, const std::string& host) {
  switch (outcome) {
    case Transport::kDone:
      return Status();
    case Transport::kNoConnection:
      return Status::Network("Could not connect to the server.");
    case Transport::kTimedOut:
      return statusFor(Failure::kTimedOut);
    case Transport::kLost:
      return Status::Network("The network connection was lost.");
    case Transport::kCertificate:
      return Status::Network(
          "The certificate for this server is invalid. You might be connecting to a server that is "
          "pretending to be “" +
          host + "” which could put your confidential information at risk.");
    case Transport::kTLS:
      break;
  }
  return Status::Network(
      "An SSL error has occurred and a secure connection to the server cannot be made.");
}

Status statusForFileRead(const Status& status, const std::string& path) {
  std::error_code ec;
  if (status.code() == Code::kNotFound) {
    return Status::NotFound("The file couldn’t be opened because it doesn’t exist.");
  }
  if (status.code() == Code::kTooLarge) return statusFor(Failure::kTooLarge);
  if (std::filesystem::is_directory(path, ec)) {
    return Status::IOError("The file couldn’t be opened because it is a folder.");
  }
  if (status.code() == Code::kInvalidArgument) {
    return Status::IOError("The file couldn’t be opened because it isn’t a regular file.");
  }
  return Status::IOError(
      "The file couldn’t be opened because you don’t have permission to view it.");
}

}  // namespace platform::net
