// String table: the main bundle's localized texts, language "en".
// The table's bytes (the platform's ".strings" syntax) are handed over once by whoever
// owns them (the product embeds resources/en.lproj/Localizable.strings and
// calls registerMainBundleStringsTable at start-up); this layer knows nothing
// of any product. Parsed once, lazily, on first lookup.
// Thread rule: every function here may be called from any thread.
// Ownership: the registered bytes must outlive the process (static storage);
// returned strings are the caller's.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::foundation {

// Makes `table` the main bundle's default string table. A later call replaces
// the earlier one (the next lookup re-parses). Without any registration every
// lookup falls back to its key.
void registerMainBundleStringsTable(std::string_view table);

// The text for `key`, or the key itself when the table lacks it; then
// `arguments` are interpolated: "%@" takes the next argument, "%1$@" the
// first, "%%" is a literal "%". A specifier without an argument is left as is.
std::string localizedString(std::string_view key, const std::vector<std::string>& arguments = {});

// Interpolation alone, as applied by localizedString.
std::string formatLocalized(std::string_view format, const std::vector<std::string>& arguments);

// Parses ".strings" text: `"key" = "value";` pairs, /* */ and // comments,
// escapes \" \\ \n \t \r \0 \Uxxxx (UTF-16 code units, surrogate pairs joined).
// Never throws or crashes: an unparseable entry is skipped and parsing resumes
// after the next ';'. Returns nullopt only when not one entry could be read
// from a table that is not blank/comment-only.
std::optional<std::map<std::string, std::string>> parseStringsTable(std::string_view text);

}  // namespace platform::foundation
