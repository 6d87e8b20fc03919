// debugPrint: the platform's debug print of one text value.
// Writes the text in quoted form (between double quotes, escaped as a string
// literal) and one newline to standard output. Safe from any thread: each
// line is one write(2), so lines from several threads never interleave.
#pragma once

#include <string>
#include <string_view>

namespace platform::foundation {

// The quoted form without the newline: `a"b` becomes `"a\"b"`. \0 \t \n \r
// \" \' \\ are escaped by name, every other control character as \u{HEX}.
std::string quotedForm(std::string_view text);

void debugPrint(std::string_view text);

}  // namespace platform::foundation
