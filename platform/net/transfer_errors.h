// How a failed transfer reads to a person: the platform's wording for each
// kind of failure. Internal to the HTTP client. Plain functions, safe from
// any thread.
#pragma once

#include <string>

#include "platform/foundation/status.h"
#include "platform/net/socket_stream.h"

namespace platform::net {

// What the client finds wrong in what it received, or was asked.
enum class Failure {
  kNotStarted,
  kTimedOut,
  kTooLarge,
  kUndecodable,  // a Content-Encoding not offered, or a body it cannot decode
  kTooManyRedirects,
  kUnsupportedURL,
};

foundation::Status statusFor(Failure failure);

// How the transport failed; `host` is named in a certificate error.
foundation::Status statusFor(Transport outcome, const std::string& host);

// A failed read (readRegularFile's `status`) of the file:// address at `path`.
foundation::Status statusForFileRead(const foundation::Status& status, const std::string& path);

}  // namespace platform::net
