#include "platform/foundation/text/unicode_text.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/normalizer2.h>
#include <unicode/stringpiece.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace platform::foundation {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string asciiMapped(std::string_view text, char (*map)(char)) {
  std::string out(text);
  for (char& c : out) c = map(c);
  return out;
}

// `text` with every ill-formed sequence (each maximal subpart) replaced by
// U+FFFD, so ICU only ever sees well-formed UTF-8 and results do not depend
// on how it treats broken input.
std::string wellFormed(std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  std::string out;
  out.reserve(text.size());
  int32_t i = 0;
  while (i < length) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      out += kReplacementCharacter;
    } else {
      out.append(text.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
    }
  }
  return out;
}

enum class CaseMapping { upper, lower };

std::string caseMapped(std::string_view utf8, CaseMapping mapping) {
  const std::string source = wellFormed(utf8);
  std::string out;
  icu::StringByteSink<std::string> sink(&out, static_cast<int32_t>(source.size()));
  UErrorCode error = U_ZERO_ERROR;
  // "" is the root locale: the same mapping whatever the user's locale.
  if (mapping == CaseMapping::upper) {
    icu::CaseMap::utf8ToUpper("", 0,
                              icu::StringPiece(source.data(), static_cast<int32_t>(source.size())),
                              sink, nullptr, error);
  } else {
    icu::CaseMap::utf8ToLower("", 0,
                              icu::StringPiece(source.data(), static_cast<int32_t>(source.size())),
                              sink, nullptr, error);
  }
  return U_SUCCESS(error) ? out : source;
}

enum class Form { composed, decomposed };

std::string normalized(std::string_view utf8, Form form) {
  if (isASCII(utf8)) return std::string(utf8);  // ASCII is already in every form
  const std::string source = wellFormed(utf8);
  UErrorCode error = U_ZERO_ERROR;
  const icu::Normalizer2* normalizer = form == Form::composed
                                           ? icu::Normalizer2::getNFCInstance(error)
                                           : icu::Normalizer2::getNFDInstance(error);
  if (U_FAILURE(error)) return source;
  const icu::StringPiece piece(source.data(), static_cast<int32_t>(source.size()));
  if (normalizer->isNormalizedUTF8(piece, error) && U_SUCCESS(error)) return source;
  error = U_ZERO_ERROR;
  std::string out;
  icu::StringByteSink<std::string> sink(&out, static_cast<int32_t>(source.size()));
  normalizer->normalizeUTF8(0, piece, sink, nullptr, error);
  return U_SUCCESS(error) ? out : source;
}

}  // namespace

bool isASCII(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string uppercased(std::string_view utf8) {
  if (isASCII(utf8)) return asciiMapped(utf8, asciiUpper);
  return caseMapped(utf8, CaseMapping::upper);
}

std::string lowercased(std::string_view utf8) {
  if (isASCII(utf8)) return asciiMapped(utf8, asciiLower);
  return caseMapped(utf8, CaseMapping::lower);
}

std::string precomposed(std::string_view utf8) { return normalized(utf8, Form::composed); }

std::string decomposed(std::string_view utf8) { return normalized(utf8, Form::decomposed); }

bool canonicallyEquivalent(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (isASCII(a) && isASCII(b)) return false;  // distinct ASCII texts stay distinct
  return decomposed(a) == decomposed(b);
}

std::string matchKey(std::string_view utf8) {
  if (isASCII(utf8)) return asciiMapped(utf8, asciiUpper);
  return precomposed(caseMapped(utf8, CaseMapping::upper));
}

}  // namespace platform::foundation
