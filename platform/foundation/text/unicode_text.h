// Unicode text operations the platform's string type offers: full case
// mapping independent of the user's locale, and canonical equivalence.
//
// Texts are UTF-8. Pure ASCII takes a fast path that never touches ICU.
// Ill-formed UTF-8 never crashes: each ill-formed sequence is replaced by
// U+FFFD before mapping or comparing. Plain functions: safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace platform::foundation {

// True when every byte is below 0x80.
bool isASCII(std::string_view text);

// Full upper-casing by the root locale's rules ("ß" -> "SS", "i" -> "I",
// "ı" -> "I"), whatever the process locale.
std::string uppercased(std::string_view utf8);
// Full lower-casing by the root locale's rules ("İ" -> "i̇", "I" -> "i").
std::string lowercased(std::string_view utf8);

// Canonical composition (NFC) and decomposition (NFD).
std::string precomposed(std::string_view utf8);
std::string decomposed(std::string_view utf8);

// True when the texts are canonically equivalent: "e\u0301" and "é" are.
bool canonicallyEquivalent(std::string_view a, std::string_view b);

// A key for "equal once both are upper-cased": NFC of uppercased(text).
// matchKey(a) == matchKey(b) exactly when uppercased(a) and uppercased(b)
// are canonically equivalent.
std::string matchKey(std::string_view utf8);

}  // namespace platform::foundation
