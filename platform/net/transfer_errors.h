// How a failed transfer reads to a person: the platform's wording for each
// kind of failure. Internal to the HTTP client. Plain functions, safe from
// any thread.
#pragma once

#include <string>

#include "platform/foundation/status.h"

namespace httplib {
enum class Error;
}

namespace platform::net {

// What the client itself finds wrong, beyond what cpp-httplib reports.
enum class Failure {
  kNotStarted,
  kTimedOut,
  kTooLarge,
  kUndecodable,  // a Content-Encoding not offered, or a body it cannot decode
  kTooManyRedirects,
  kUnsupportedURL,
};

foundation::Status statusFor(Failure failure);

// A failure cpp-httplib reports; `host` is named in a certificate error.
foundation::Status statusFor(httplib::Error error, const std::string& host);

// A failed read (readRegularFile's `status`) of the file:// address at `path`.
foundation::Status statusForFileRead(const foundation::Status& status, const std::string& path);

}  // namespace platform::net
