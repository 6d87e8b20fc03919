#include "platform/ui/desktop_appearance.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace platform::ui {
namespace {

// The portal's answer, e.g. "(<<uint32 1>>,)"; empty when there is none.
std::string readPortalColorScheme() {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!bus || !*bus) return {};
  // A desktop without the portal answers with an error at once; a hung bus
  // is given a second.
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(
      ::popen("gdbus call --session --timeout 1 --dest org.freedesktop.portal.Desktop "
              "--object-path /org/freedesktop/portal/desktop "
              "--method org.freedesktop.portal.Settings.Read "
              "org.freedesktop.appearance color-scheme 2>/dev/null",
              "r"),
      &::pclose);
  if (!pipe) return {};
  std::string answer;
  char buffer[256];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) answer.append(buffer, n);
  return answer;
}

}  // namespace

ColorScheme desktopColorScheme() {
  if (const char* theme = std::getenv("GTK_THEME"); theme && *theme) {
    return std::string_view(theme).ends_with(":dark") ? ColorScheme::dark : ColorScheme::light;
  }
  return readPortalColorScheme().find("uint32 1>") != std::string::npos ? ColorScheme::dark
                                                                        : ColorScheme::light;
}

}  // namespace platform::ui
