// How a failed libcurl transfer reads to a person: the platform's wording for
// each kind of failure. Internal to the HTTP client. Plain functions, safe
// from any thread.
#pragma once

#include <curl/curl.h>

#include <string>

#include "platform/foundation/status.h"

namespace platform::net {

// Facts about the transfer that sharpen the message.
struct FailedTransfer {
  CURLcode code = CURLE_OK;
  bool bodyTooLarge = false;  // the write callback refused bytes over the cap
  std::string host;           // of the address asked for, for certificate errors
  std::string filePath;       // decoded path of a file:// address, else empty
  std::string detail;         // libcurl's own error text, for unknown failures
};

foundation::Status statusForFailedTransfer(const FailedTransfer& transfer);

}  // namespace platform::net
