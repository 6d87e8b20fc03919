// Fuzz target: any bytes given to the string-table parser and to the
// interpolation must come back without a crash, a hang or a sanitizer report,
// and a table written back out with quotes and backslashes escaped must parse
// to the same entries.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "platform/foundation/locale/string_table.h"

namespace {

void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto table = platform::foundation::parseStringsTable(text);
  if (table) {
    std::string written;
    for (const auto& [key, value] : *table) {
      (void)platform::foundation::formatLocalized(value, {key, value});
      appendQuoted(written, key);
      written += " = ";
      appendQuoted(written, value);
      written += ";\n";
    }
    auto reread = platform::foundation::parseStringsTable(written);
    if (!reread || *reread != *table) __builtin_trap();
  }
  (void)platform::foundation::formatLocalized(text, {"a", "b"});
  return 0;
}
