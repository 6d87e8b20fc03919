// Fuzz target: any bytes given to the string-table parser and to the
// interpolation must come back without a crash, a hang or a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/foundation/locale/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto table = platform::foundation::parseStringsTable(text);
  if (table) {
    for (const auto& [key, value] : *table) {
      (void)platform::foundation::formatLocalized(value, {key, value});
    }
  }
  (void)platform::foundation::formatLocalized(text, {"a", "b"});
  return 0;
}
