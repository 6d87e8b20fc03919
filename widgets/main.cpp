// The widget extension: reads the host's command line, then hands the
// process to the host's bundle entry.
#include <CLI/CLI.hpp>
#include <cmath>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/container.h"
#include "platform/foundation/file_access.h"
#include "platform/foundation/output_file.h"
#include "platform/foundation/user_defaults.h"
#include "platform/ui/desktop_appearance.h"
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

constexpr const char* kProgram = "QuorvelWidgetsExtension";

constexpr const char* kHelpFooter = R"(Requests:
  describe     print the bundle's widgets as one line of JSON:
               {"widgets":[{"kind":...,"families":[...],"displayName":...,"description":...},...]}
  placeholder  the entry drawn while nothing is known (no I/O)
  snapshot     one entry for a quick look: the stored balances
  timeline     fresh balances from the exchange, stored for the next snapshot,
               and the reload policy
  serve        keep every widget current in one process, reloading on its
               policy and when the app writes, and show them on a page at
               http://127.0.0.1:PORT/ (see serve --help)

Widget kinds: QuorvelSmallWidget (systemSmall), QuorvelMediumWidget (systemMedium).

A request waits until the widget answers or --deadline passes, then writes
  {"request":...,"kind":...,"family":...,"policy":"atEnd"|"never"|null,
   "entries":[{"date":"2026-12-06T18:29:28.123Z","portfolio":...,"view":VIEW}]}
(policy is null for placeholder and snapshot). --png/--svg draw the first
entry at the family's size. The extension's own debug lines go to standard
output, so with --json - they come first and the JSON is the last line;
--json FILE keeps the answer apart. Messages for people go to standard error.

Examples:
  QuorvelWidgetsExtension timeline --kind QuorvelSmallWidget --json small.json --png small.png
  QuorvelWidgetsExtension snapshot --kind QuorvelMediumWidget --appearance dark --json medium.json

Environment:
  QUORVEL_HOME          where the shared store and preferences live
                        (default ${XDG_DATA_HOME:-$HOME/.local/share}/quorvel)
  XDG_DATA_HOME         see QUORVEL_HOME; a relative one is ignored
  QUORVEL_API_BASE_URL  the exchange's base address (http://127.0.0.1:PORT, or
                        file:///dir holding dir/api/v3/ticker/24hr)
  GTK_THEME             ending in ":dark" makes --appearance system dark

Exit status: 0 answered, 1 an output file could not be written,
2 usage error, 3 no answer before the deadline.)";

int usageError(const std::string& what, const std::string& why) {
  std::cerr << kProgram << ": " << what << ": " << platform::foundation::escapedForm(why)
            << "\nRun '" << kProgram << " --help' for the usage.\n";
  return platform::widgetkit::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "serve") {
    // The resident host reads its own command line; its usage names both words.
    const std::string name = std::string(kProgram) + " serve";
    std::vector<char*> rest{const_cast<char*>(name.c_str())};
    rest.insert(rest.end(), argv + 2, argv + argc);
    return platform::widgetkit::serveWidgetBundle(quorvel::QuorvelWidgets{}, filesTheAppWrites(),
                                                  static_cast<int>(rest.size()), rest.data());
  }
  const quorvel::QuorvelWidgets bundle;
  const std::vector<std::string> kinds = {std::string(quorvel::kSmallWidgetKind),
                                          std::string(quorvel::kMediumWidgetKind)};
  CLI::App app{"Stand-in for the phone's widget host: asks this extension's widgets for entries.",
               kProgram};
  app.footer(kHelpFooter);
  app.set_version_flag("--version", QUORVEL_VERSION, "Print the version and exit");
  app.require_subcommand(1, 1);
  app.add_subcommand("describe", "Print the bundle's widgets as one line of JSON");
  // Read by the resident host itself (above); listed here for --help.
  app.add_subcommand("serve", "Keep the widgets current and show them on a local page");

  std::string kind, appearance = "system";
  // Passed on to the bundle entry as given, once checked here.
  std::vector<std::pair<std::string, std::string>> passed;
  double scale = 3, deadline = 30;
  for (const char* name : {"placeholder", "snapshot", "timeline"}) {
    CLI::App* sub = app.add_subcommand(name, std::string("Ask a widget for its ") + name);
    sub->add_option("--kind", kind, "The widget's kind: QuorvelSmallWidget or QuorvelMediumWidget")
        ->required();
    sub->add_option("--appearance", appearance,
                    "Appearance to draw under; system follows the desktop (default system)")
        ->check(CLI::IsMember({"light", "dark", "system"}));
    for (const auto& [option, help, type] :
         {std::tuple{"--json",
                     "Write the response JSON to FILE, or '-' for the last line of "
                     "standard output",
                     "FILE|-"},
          {"--png", "Draw the first entry's view as a PNG file", "FILE"},
          {"--svg", "Draw the first entry's view as an SVG file", "FILE"}}) {
      sub->add_option_function<std::string>(
             option,
             [&passed, option = std::string(option)](const std::string& value) {
               passed.emplace_back(option, value);
             },
             help)
          ->type_name(type);
    }
    sub->add_option("--scale", scale, "Pixels per point of the drawing, 1 to 3 (default 3)")
        ->check(CLI::Range(1.0, 3.0));
    sub->add_option("--deadline", deadline,
                    "Seconds to wait for the answer (default 30), more than 0 and at most 86400")
        ->check(CLI::Range(0.001, 86400.0));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return platform::foundation::finishStandardOutput(app.exit(e, std::cout, std::cerr), kProgram);
  } catch (const CLI::ParseError& e) {
    return usageError("bad command line", e.what());
  }
  if (!std::isfinite(scale) || !std::isfinite(deadline)) {
    return usageError("bad command line", "--scale and --deadline must be finite numbers");
  }
  const std::string request = app.get_subcommands().front()->get_name();
  std::vector<std::string> args = {kProgram, request};
  if (request != "describe") {
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
      return usageError("bad --kind", "no widget of kind \"" + kind + "\" (known: " + kinds[0] +
                                          ", " + kinds[1] + ")");
    }
    // Only a drawing shows the appearance; asking the desktop costs a
    // process (the portal is asked through gdbus), so only a drawing asks.
    const bool draws = std::any_of(passed.begin(), passed.end(),
                                   [](const auto& p) { return p.first != "--json"; });
    if (appearance == "system") {
      appearance = draws && platform::ui::desktopColorScheme() == platform::ui::ColorScheme::dark
                       ? "dark"
                       : "light";
    }
    args.insert(args.end(), {"--kind", kind, "--appearance", appearance, "--scale",
                             std::to_string(scale), "--deadline", std::to_string(deadline)});
    for (const auto& [option, value] : passed) args.insert(args.end(), {option, value});
  }
  std::vector<const char*> forwarded;
  for (const std::string& arg : args) forwarded.push_back(arg.c_str());
  return platform::foundation::finishStandardOutput(
      platform::widgetkit::runWidgetBundle(bundle, static_cast<int>(forwarded.size()),
                                           forwarded.data()),
      kProgram);
}
