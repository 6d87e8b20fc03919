#include "platform/net/url.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace platform::net {

namespace {

constexpr auto npos = std::string_view::npos;
constexpr std::string_view kSchemeCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.";
// Left as they are in query names and values, besides the unreserved bytes.
constexpr std::string_view kKeptInQuery = "/?";

bool isUnreserved(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("-._~").find(c) != npos;
}

// The length of the scheme `url` begins with ("http" in "http:..."), or 0.
size_t schemeLength(std::string_view url) {
  const size_t colon = url.find(':');
  if (colon == 0 || colon == npos || !std::isalpha(static_cast<unsigned char>(url[0])) ||
      url.substr(0, colon).find_first_not_of(kSchemeCharacters) != npos) {
    return 0;
  }
  return colon;
}

// Where the authority of "scheme://authority/path?query#fragment" begins
// and ends; nothing for an address without one.
std::optional<std::pair<size_t, size_t>> authorityOf(std::string_view url) {
  const size_t scheme = schemeLength(url);
  if (scheme == 0 || url.substr(scheme, 3) != "://") return std::nullopt;
  return std::pair{scheme + 3, std::min(url.find_first_of("/?#", scheme + 3), url.size())};
}

}  // namespace

std::optional<URL> splitURL(std::string_view url) {
  const auto authority = authorityOf(url);
  const auto unsafe = [](unsigned char c) { return c <= ' ' || c == 0x7F; };
  if (!authority || std::any_of(url.begin(), url.end(), unsafe)) return std::nullopt;
  const auto [begin, end] = *authority;
  URL parts;
  parts.scheme = url.substr(0, begin - 3);
  std::transform(parts.scheme.begin(), parts.scheme.end(), parts.scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  parts.target = url.substr(end, url.find('#', end) - end);
  if (!parts.target.starts_with('/')) parts.target.insert(0, "/");
  std::string_view host = url.substr(begin, end - begin);
  if (const size_t at = host.rfind('@'); at != npos) {
    const std::string_view userinfo = host.substr(0, at);
    const size_t colon = std::min(userinfo.find(':'), userinfo.size());
    parts.user = userinfo.substr(0, colon);
    parts.password = userinfo.substr(std::min(colon + 1, userinfo.size()));
    host.remove_prefix(at + 1);
  }
  std::string_view port;
  if (const size_t colon = host.rfind(':'); colon != npos && host.find(']', colon) == npos) {
    port = host.substr(colon + 1);
    host = host.substr(0, colon);
  }
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  parts.host = host;
  parts.port = parts.scheme == "https" ? 443 : parts.scheme == "http" ? 80 : 0;
  if (port.empty()) return parts;
  const auto [stop, error] = std::from_chars(port.data(), port.data() + port.size(), parts.port);
  if (error != std::errc() || stop != port.data() + port.size() || parts.port < 1 ||
      parts.port > 65535) {
    return std::nullopt;
  }
  return parts;
}

std::string resolveURL(std::string_view base, std::string_view reference) {
  const auto authority = authorityOf(base);
  if (schemeLength(reference) > 0 || !authority) return std::string(reference);
  const auto [begin, end] = *authority;
  if (reference.starts_with("//")) return std::string(base.substr(0, begin - 2)) += reference;
  if (reference.starts_with('/')) return std::string(base.substr(0, end)) += reference;
  std::string_view path = base.substr(0, std::min(base.find_first_of("?#", end), base.size()));
  if (reference.starts_with('?')) return std::string(path) += reference;
  // A relative path replaces the last segment of the base's path.
  const size_t slash = path.rfind('/');
  return (slash < end ? std::string(path) + "/" : std::string(path.substr(0, slash + 1))) +=
         reference;
}

std::string redactedURL(std::string_view url) {
  const auto authority = authorityOf(url);
  if (!authority) return std::string(url);
  const auto [begin, end] = *authority;
  const size_t at = url.substr(begin, end - begin).rfind('@');
  const size_t colon = url.substr(begin, at == npos ? 0 : at).find(':');
  if (at == npos || colon == npos || colon + 1 == at) return std::string(url);
  return std::string(url).replace(begin + colon + 1, at - colon - 1, "***");
}

std::string percentEscape(std::string_view text, std::string_view keep) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (isUnreserved(c) || keep.find(c) != npos) {
      out += c;
    } else {
      out += {'%', kHex[byte >> 4], kHex[byte & 15]};
    }
  }
  return out;
}

std::string fileURL(std::string_view path) { return "file://" + percentEscape(path, "/"); }

std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char byte = 0;
    const char* hex = text.data() + i + 1;
    if (text[i] == '%' && i + 2 < text.size() &&
        std::from_chars(hex, hex + 2, byte, 16).ptr == hex + 2) {
      out += static_cast<char>(byte);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string encodeURL(std::string_view url, const Parameters& parameters) {
  if (parameters.empty()) return std::string(url);
  const size_t fragment = std::min(url.find('#'), url.size());
  const std::string_view beforeFragment = url.substr(0, fragment);
  std::string out(beforeFragment);
  const size_t queryStart = beforeFragment.find('?');
  if (queryStart == std::string_view::npos) {
    out += '?';
  } else if (queryStart + 1 < beforeFragment.size() && beforeFragment.back() != '&') {
    out += '&';
  }
  bool first = true;
  for (const auto& [name, value] : parameters) {
    if (!first) out += '&';
    first = false;
    out += percentEscape(name, kKeptInQuery);
    out += '=';
    out += percentEscape(value, kKeptInQuery);
  }
  out += url.substr(fragment);
  return out;
}

}  // namespace platform::net
