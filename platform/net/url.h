// Addresses as the HTTP client reads and writes them, without a URL library:
// splitting an absolute address, resolving a redirect's Location against
// it, and percent-escaping. Plain functions, safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::net {

// Query parameters in the order they are written.
using Parameters = std::vector<std::pair<std::string, std::string>>;

// The parts of an absolute address "scheme://[user[:password]@]host[:port]/path?query".
struct URL {
  std::string scheme;          // lower case
  std::string user, password;  // still escaped; empty when none is written
  std::string host;            // without the brackets of an IPv6 literal
  int port = 0;                // the scheme's (80, 443) when none is written; 0 for others
  std::string target;          // "/path?query", never empty; still escaped, no "#fragment"
};

// `url` split, or nothing when it is not absolute ("api/v3", "mailto:x"),
// holds a space or a control character, or its port is not a number from 1
// to 65535.
std::optional<URL> splitURL(std::string_view url);

// `reference` (a Location: absolute, "//host/p", "/p", "?q" or "p") read
// against the absolute address `base`.
std::string resolveURL(std::string_view base, std::string_view reference);

// `url` for a log line: a password in it shows as "***"; an address
// without one comes back unchanged.
std::string redactedURL(std::string_view url);

// `text` with every byte but letters, digits, "-._~" and those in `keep`
// percent-escaped ("%2F").
std::string percentEscape(std::string_view text, std::string_view keep = {});

// `text` with each "%XX" (two hex digits) replaced by its byte; anything
// else, "+" too, is kept as it is.
std::string percentDecode(std::string_view text);

// "file://" and the absolute `path`, every byte but the unreserved ones and
// the separators percent-escaped.
std::string fileURL(std::string_view path);

// `url` with `parameters` appended as a query: "?name=value&..." (or "&..."
// when `url` already has a query, before any "#fragment"). Names and values
// are percent-escaped, keeping only letters, digits, "-._~" and "/?".
// With no parameters `url` comes back unchanged.
std::string encodeURL(std::string_view url, const Parameters& parameters);

}  // namespace platform::net
