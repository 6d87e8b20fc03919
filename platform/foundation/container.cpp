#include "platform/foundation/container.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/foundation/file_access.h"
#include "platform/foundation/output_file.h"

namespace platform::foundation {
namespace {

// Only an absolute value counts: a relative one would move with the
// working folder.
std::optional<std::filesystem::path> absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || *value != '/') return std::nullopt;
  return std::filesystem::path(value);
}

std::optional<std::filesystem::path> accountHome() {
  if (auto home = absoluteVariable("HOME")) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
      !found->pw_dir || *found->pw_dir != '/') {
    return std::nullopt;
  }
  return std::filesystem::path(found->pw_dir);
}

}  // namespace

Result<std::filesystem::path> quorvelHome() {
  if (const char* home = std::getenv("QUORVEL_HOME"); home && *home) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(home, ec);
    if (ec) return Status::NotFound("cannot make QUORVEL_HOME absolute: " + ec.message());
    return absolute;
  }
  if (auto xdg = absoluteVariable("XDG_DATA_HOME")) return *xdg / "quorvel";
  if (auto home = accountHome()) return *home / ".local/share/quorvel";
  return Status::NotFound(
      "no home folder: QUORVEL_HOME, XDG_DATA_HOME and HOME are unset (or not absolute) and the "
      "account has none in the password database");
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
  auto home = quorvelHome();
  if (!home.ok()) {
    writeAll(STDERR_FILENO, "error: " + home.status.localizedDescription() + "\n");
    return std::nullopt;
  }
  std::filesystem::path dir = *home.value / "AppGroups" / std::string(groupIdentifier);
  if (!makeDirectories(dir).ok()) return std::nullopt;
  return dir;
}

std::filesystem::path extensionContainer(std::string_view bundleIdentifier) {
  auto home = quorvelHome();
  if (!home.ok()) return {};
  return *home.value / "Containers" / std::string(bundleIdentifier);
}

}  // namespace platform::foundation
