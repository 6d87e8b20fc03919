// Fuzz target: the bytes are a push payload handed to the notification
// service extension's entry ("--payload -"). A payload the phone would refuse
// must be refused with a message; any other must be delivered at once with
// exactly the content its payload describes. Image addresses are checked for
// their scheme by the product's own helper; an http(s) one goes to a plain
// service instead, so nothing is ever fetched. A payload nested deeper than
// the entry accepts is refused like one that is not JSON.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "notifications/notification_service.h"
#include "platform/messaging/extension_helper.h"
#include "platform/usernotifications/extension_main.h"
#include "platform/usernotifications/notification_content.h"
#include "platform/usernotifications/notification_request.h"
#include "platform/usernotifications/service_extension.h"

namespace {

namespace un = platform::usernotifications;

constexpr char kPlainService[] = "FuzzPushPayload.PlainService";

bool isFetchable(std::string address) {
  address.resize(std::min<size_t>(address.size(), 8));
  std::transform(address.begin(), address.end(), address.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  (void)un::registerPrincipalClass<un::UNNotificationServiceExtension>(kPlainService);
  (void)quorvel::notificationsExtensionInfo();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // What the phone makes of the payload, read on its own.
  int nesting = 0;
  const nlohmann::json payload = nlohmann::json::parse(
      bytes,
      [&nesting](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
        if (event == nlohmann::json::parse_event_t::object_start ||
            event == nlohmann::json::parse_event_t::array_start) {
          nesting = std::max(nesting, depth + 1);
        }
        return true;
      },
      /*allow_exceptions=*/false);
  std::optional<un::UNNotificationContent::Fields> expected;
  std::optional<std::string> image;
  if (!payload.is_discarded() && nesting <= un::kMaxPayloadNesting) {
    auto fields = un::contentFieldsFromPayload(payload);
    if (fields.ok()) {
      expected = std::move(*fields.value);
      image = platform::messaging::imageAddress(expected->userInfo);
    } else if (fields.status.localizedDescription().empty()) {
      __builtin_trap();  // a refusal names what is wrong
    }
  }

  un::NSExtensionInfo info = quorvel::notificationsExtensionInfo();
  if (image && isFetchable(*image)) info.principalClass = kPlainService;

  std::istringstream in(bytes);
  std::ostringstream out;
  std::ostringstream err;
  const int status =
      un::runServiceExtension({"fuzz_push_payload", "--payload", "-"}, info, in, out, err);
  if (!expected) {
    if (status != 2 || err.str().empty() || !out.str().empty()) __builtin_trap();
    return 0;
  }
  if (status != 0) __builtin_trap();
  auto result = nlohmann::ordered_json::parse(out.str(), nullptr, false);
  if (!result.is_object() || result["deliveredBy"] != "helper") __builtin_trap();
  // No image is ever attached here: refused schemes cost only the image.
  if (result["content"] != un::toJSON(*expected)) __builtin_trap();
  return 0;
}
