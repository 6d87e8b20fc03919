#include "platform/foundation/container.h"

#include <cstdlib>
#include <system_error>

namespace platform::foundation {

std::filesystem::path quorvelHome() {
  if (const char* home = std::getenv("QUORVEL_HOME"); home && *home) {
    return home;
  }
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    return std::filesystem::path(xdg) / "quorvel";
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : "/tmp") / ".local/share/quorvel";
}

bool isPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\0') return false;
  }
  return true;
}

std::optional<std::filesystem::path> containerURLForSecurityApplicationGroupIdentifier(
    std::string_view groupIdentifier) {
  if (!isPlainFileName(groupIdentifier)) return std::nullopt;
  std::filesystem::path dir = quorvelHome() / "AppGroups" / std::string(groupIdentifier);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir, ec)) return std::nullopt;
  return dir;
}

std::filesystem::path extensionContainer(std::string_view bundleIdentifier) {
  return quorvelHome() / "Containers" / std::string(bundleIdentifier);
}

}  // namespace platform::foundation
