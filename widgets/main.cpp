// The widget extension: hands the process to the host's bundle entry.
#include <string_view>

#include "platform/foundation/container.h"
#include "platform/foundation/user_defaults.h"
#include "platform/widgetkit/bundle_entry.h"
#include "platform/widgetkit/resident_host.h"
#include "store/shared_realm_configuration.h"
#include "widgets/quorvel_widgets.h"

namespace {

// The resident host reloads the widgets when the app writes what they read:
// holdings into the shared store, the theme into the widgets' preferences.
// The widgets write their snapshot into the app-group suite themselves.
std::vector<platform::widgetkit::WatchedFile> filesTheAppWrites() {
  using platform::foundation::UserDefaults;
  std::vector<platform::widgetkit::WatchedFile> files;
  if (auto container = platform::foundation::containerURLForSecurityApplicationGroupIdentifier(
          quorvel::appGroupIdentifier)) {
    files.push_back({*container / quorvel::kStoreFileName});
  }
  if (auto suite = UserDefaults::suite(quorvel::appGroupIdentifier)) {
    files.push_back({suite->file(), true});
  }
  files.push_back({UserDefaults::standardFor(quorvel::kWidgetsBundleIdentifier).file()});
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "serve") {
    return platform::widgetkit::serveWidgetBundle(quorvel::QuorvelWidgets{}, filesTheAppWrites(),
                                                  argc - 1, argv + 1);
  }
  return platform::widgetkit::runWidgetBundle(quorvel::QuorvelWidgets{}, argc, argv);
}
