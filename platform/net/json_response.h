// The HTTP client's JSON response serializer: a GET whose body is parsed as
// JSON (simdjson DOM). Any top-level value is accepted, a bare number or
// string too. An empty body is an error, except with status 204 or 205 where
// it counts as JSON null. The status code is not judged: a 400 with a JSON
// body comes back with its statusCode and its json, not as an error.
//
// JSONDocument is immutable once made: share it freely across threads; an
// element from root() stays valid as long as the document lives.
#pragma once

#include <simdjson.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/status.h"
#include "platform/net/http_client.h"

namespace platform::net {

class JSONDocument {
 public:
  // Parses `bytes` (taking them over). Fails with kParse and the message
  // "JSON could not be serialized because of error: The data couldn’t be
  // read because it isn’t in the correct format." for anything not JSON,
  // empty or blank input included.
  static foundation::Result<std::shared_ptr<const JSONDocument>> parse(std::string bytes);
  // The document that is just JSON null.
  static std::shared_ptr<const JSONDocument> null();

  ~JSONDocument();
  JSONDocument(const JSONDocument&) = delete;
  JSONDocument& operator=(const JSONDocument&) = delete;

  simdjson::dom::element root() const { return root_; }

 private:
  JSONDocument();

  std::string bytes_;  // the input, kept with simdjson's padding
  // Owns the parsed tape root_ points into; handed to the next document
  // when this one goes.
  std::unique_ptr<simdjson::dom::parser> parser_;
  simdjson::dom::element root_;
};

struct JSONResponse {
  foundation::Status status;  // transport failure, empty body or not JSON
  long statusCode = 0;
  std::shared_ptr<const JSONDocument> json;  // set exactly when status is ok
};

// The serializer on its own: turns a finished transfer into a JSONResponse.
// A transport failure passes through unchanged; an empty body fails with
// kParse "Response could not be serialized, input data was nil or zero
// length." unless the status is 204 or 205.
JSONResponse serializeJSON(DataResponse response);

// get() followed by serializeJSON(); the parse happens on the global queue
// and `completion` runs there exactly once, never inside this call.
void getJSON(std::string url, Parameters parameters, RequestOptions options,
             std::function<void(JSONResponse)> completion);

}  // namespace platform::net
