// Status: the outcome of a fallible platform call, a cheap value.
// Success carries nothing; a failure carries a code and a description that a
// person can read (the platform's "localized description"). Copy freely.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>

namespace platform::foundation {

class Status {
 public:
  enum class Code {
    kOk,
    kInvalidArgument,  // the caller passed something unusable
    kNotFound,         // a file, key or container that is not there
    kCorruption,       // stored bytes that cannot be read as what they should be
    kIOError,          // the operating system refused a read or write
    kBusy,             // another process holds a lock past our patience
    kVersionMismatch,  // a stored schema newer than this program knows
    kNetwork,          // transport failure: refused, reset, DNS, TLS
    kTimedOut,
    kTooLarge,    // a body or file over its cap
    kHttpStatus,  // the server answered with an error status
    kParse,       // bytes that are not the expected format (JSON, plist)
    kUnsupported,
  };

  Status() = default;
  static Status okStatus() { return Status(); }
#define QUORVEL_STATUS_CONSTRUCTOR(name)                  \
  static Status name(std::string description) {           \
    return Status(Code::k##name, std::move(description)); \
  }
  QUORVEL_STATUS_CONSTRUCTOR(InvalidArgument)
  QUORVEL_STATUS_CONSTRUCTOR(NotFound)
  QUORVEL_STATUS_CONSTRUCTOR(Corruption)
  QUORVEL_STATUS_CONSTRUCTOR(IOError)
  QUORVEL_STATUS_CONSTRUCTOR(Busy)
  QUORVEL_STATUS_CONSTRUCTOR(VersionMismatch)
  QUORVEL_STATUS_CONSTRUCTOR(Network)
  QUORVEL_STATUS_CONSTRUCTOR(TimedOut)
  QUORVEL_STATUS_CONSTRUCTOR(TooLarge)
  QUORVEL_STATUS_CONSTRUCTOR(HttpStatus)
  QUORVEL_STATUS_CONSTRUCTOR(Parse)
  QUORVEL_STATUS_CONSTRUCTOR(Unsupported)
#undef QUORVEL_STATUS_CONSTRUCTOR

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  // What a person reads in a log line; empty for success.
  const std::string& localizedDescription() const { return description_; }

  friend bool operator==(const Status&, const Status&) = default;

 private:
  Status(Code code, std::string description) : code_(code), description_(std::move(description)) {}

  Code code_ = Code::kOk;
  std::string description_;
};

const char* codeName(Status::Code code);
void PrintTo(const Status& status, std::ostream* out);

// A value or the error that prevented it; exactly one is meaningful. Built
// implicitly from either, so a function returns `value` or `Status::X(...)`.
template <class T>
struct Result {
  Status status;
  std::optional<T> value;

  Result(T v) : value(std::move(v)) {}        // NOLINT(google-explicit-constructor)
  Result(Status s) : status(std::move(s)) {}  // NOLINT(google-explicit-constructor)
  template <class U>
  requires(std::is_constructible_v<T, U&&> && !std::is_convertible_v<U&&, Status> &&
           !std::is_same_v<std::remove_cvref_t<U>, T>) Result(U&& v)
      : value(std::in_place, std::forward<U>(v)) {}  // NOLINT(google-explicit-constructor)
  bool ok() const { return status.ok(); }
};

}  // namespace platform::foundation
