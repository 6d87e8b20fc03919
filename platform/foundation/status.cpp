#include "platform/foundation/status.h"

namespace platform::foundation {

const char* codeName(Status::Code code) {
  switch (code) {
    case Status::Code::kOk:
      return "ok";
    case Status::Code::kInvalidArgument:
      return "invalid argument";
    case Status::Code::kNotFound:
      return "not found";
    case Status::Code::kCorruption:
      return "corruption";
    case Status::Code::kIOError:
      return "I/O error";
    case Status::Code::kBusy:
      return "busy";
    case Status::Code::kVersionMismatch:
      return "version mismatch";
    case Status::Code::kNetwork:
      return "network";
    case Status::Code::kTimedOut:
      return "timed out";
    case Status::Code::kTooLarge:
      return "too large";
    case Status::Code::kHttpStatus:
      return "HTTP status";
    case Status::Code::kParse:
      return "parse";
    case Status::Code::kUnsupported:
      return "unsupported";
  }
  return "unknown";
}

void PrintTo(const Status& status, std::ostream* out) {
  if (status.ok()) {
    *out << "OK";
  } else {
    *out << codeName(status.code()) << ": " << status.localizedDescription();
  }
}

}  // namespace platform::foundation
