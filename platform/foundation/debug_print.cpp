#include "platform/foundation/debug_print.h"

#include <fmt/format.h>
#include <unistd.h>

#include <iterator>

#include "platform/foundation/output_file.h"

namespace platform::foundation {
namespace {

void appendHexEscape(std::string& out, unsigned value) {
  fmt::format_to(std::back_inserter(out), "\\u{{{:X}}}", value);
}

}  // namespace

std::string quotedForm(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '\0':
        out += "\\0";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\'':
        out += "\\'";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          appendHexEscape(out, c);
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
          // C1 control characters (U+0080..U+009F) are controls too.
          appendHexEscape(out, static_cast<unsigned char>(text[i + 1]));
          ++i;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

void debugPrint(std::string_view text) {
  std::string line = quotedForm(text);
  line += '\n';
  // One write per line (continued only where the kernel cut it short); a
  // failure is remembered, so the program can end with an error.
  writeStandardOutput(line);
}

}  // namespace platform::foundation
