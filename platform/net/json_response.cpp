#include "platform/net/json_response.h"

#include <mutex>
#include <utility>

#include "platform/json/document.h"

namespace platform::net {

namespace {

using foundation::Status;

constexpr const char* kNotJSON =
    "JSON could not be serialized because of error: The data couldn’t be read because it isn’t in "
    "the correct format.";
constexpr const char* kEmptyBody =
    "Response could not be serialized, input data was nil or zero length.";

// A long-lived process parses one answer after another. Handing a gone
// document's parser to the next one spares faulting its buffers in again;
// one kept parser is enough, and one sized for a huge answer is not kept.
constexpr size_t kMostKeptCapacity = 8u << 20;
std::mutex spareMutex;
// Never destroyed: documents may still go on workers while the process exits.
auto* const spareParser = new std::unique_ptr<simdjson::dom::parser>;

}  // namespace

JSONDocument::JSONDocument() {
  std::lock_guard lock(spareMutex);
  parser_ =
      spareParser->get() ? std::move(*spareParser) : std::make_unique<simdjson::dom::parser>();
}

JSONDocument::~JSONDocument() {
  std::lock_guard lock(spareMutex);
  if (!*spareParser && parser_->capacity() <= kMostKeptCapacity) *spareParser = std::move(parser_);
}

foundation::Result<std::shared_ptr<const JSONDocument>> JSONDocument::parse(std::string bytes) {
  std::shared_ptr<JSONDocument> document(new JSONDocument);
  if (json::withoutByteOrderMark(bytes).size() != bytes.size()) bytes.erase(0, 3);
  const size_t length = bytes.size();
  document->bytes_ = std::move(bytes);
  // Zeroed padding, so the parser never reads uninitialised bytes; a body
  // reserved with room for it is not copied.
  document->bytes_.resize(length + simdjson::SIMDJSON_PADDING, '\0');
  simdjson::dom::element root;
  simdjson::error_code error =
      document->parser_->parse(document->bytes_.data(), length, false).get(root);
  if (error == simdjson::NUMBER_ERROR) {
    error = platform::json::parse(*document->parser_,
                                  std::string_view(document->bytes_.data(), length), root);
  }
  if (error != simdjson::SUCCESS) {
    return Status::Parse(kNotJSON);
  }
  document->bytes_.resize(length);
  document->root_ = root;
  return document;
}

std::shared_ptr<const JSONDocument> JSONDocument::null() {
  // Made once and never destroyed: workers may still hold it at exit.
  static const auto* const document = new std::shared_ptr<const JSONDocument>(*parse("null").value);
  return *document;
}

JSONResponse serializeJSON(DataResponse response) {
  JSONResponse out;
  out.statusCode = response.statusCode;
  if (!response.status.ok()) {
    out.status = std::move(response.status);
    return out;
  }
  if (response.body.empty()) {
    // "No Content" and "Reset Content" have no body by definition.
    if (response.statusCode == 204 || response.statusCode == 205) {
      out.json = JSONDocument::null();
    } else {
      out.status = Status::Parse(kEmptyBody);
    }
    return out;
  }
  auto parsed = JSONDocument::parse(std::move(response.body));
  if (!parsed.ok()) {
    out.status = std::move(parsed.status);
  } else {
    out.json = std::move(*parsed.value);
  }
  return out;
}

void getJSON(std::string url, Parameters parameters, RequestOptions options,
             std::function<void(JSONResponse)> completion) {
  get(std::move(url), std::move(parameters), options,
      [completion = std::move(completion)](DataResponse response) {
        JSONResponse json = serializeJSON(std::move(response));
        if (completion) completion(std::move(json));
      });
}

}  // namespace platform::net
