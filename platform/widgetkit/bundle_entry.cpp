#include "platform/widgetkit/bundle_entry.h"

#include <CLI/CLI.hpp>
#include <cerrno>  // program_invocation_short_name
#include <cmath>
#include <iostream>

#include "platform/foundation/bundle.h"
#include "platform/widgetkit/host_request.h"

namespace platform::widgetkit {
namespace {

constexpr const char* kHelpFooter = R"(Requests:
  describe     print the bundle's widgets as one line of JSON:
               {"widgets":[{"kind":...,"families":[...],"displayName":...,"description":...},...]}
  placeholder  the entry drawn while nothing is known (no I/O)
  snapshot     one entry for a quick look
  timeline     the entries to show from now on, and the reload policy

A request builds the context of the widget's family, calls its provider and
waits (running the main queue) until the answer arrives or --deadline passes.
The response is
  {"request":...,"kind":...,"family":...,"policy":"atEnd"|"never"|"after"|null,
   "entries":[{"date":"2026-12-06T18:29:28.123Z",<widget data>,"view":VIEW}]}
(policy is null for placeholder and snapshot). --png/--svg draw the first
entry's view at the family's display size.

Exit status: 0 answered, 1 an output file could not be written,
2 usage error, 3 no answer before the deadline.
Lines printed by the extension itself go to standard output; messages for
people go to standard error.)";

}  // namespace

std::vector<WidgetConfiguration> startBundle(const WidgetBundle& bundle) {
  foundation::setMainBundleIdentifier(bundle.bundleIdentifier());
  bundle.prepare();
  return bundle.body();
}

int runWidgetBundle(const WidgetBundle& bundle, int argc, const char* const* argv) {
  CLI::App app{"Stand-in for the phone's widget host: asks this extension's widgets for entries."};
  app.footer(kHelpFooter);
  app.require_subcommand(1, 1);
  app.add_subcommand("describe", "Print the bundle's widgets as one line of JSON");

  RequestOptions options;
  std::string request;
  for (const char* name : {"placeholder", "snapshot", "timeline"}) {
    CLI::App* sub = app.add_subcommand(name, std::string("Ask a widget for its ") + name);
    sub->add_option("--kind", options.kind, "The widget's kind (see describe)")->required();
    sub->add_option("--appearance", options.appearance, "Appearance to draw under (default light)")
        ->check(CLI::IsMember({"light", "dark"}));
    sub->add_option("--json", options.jsonPath,
                    "Write the response JSON to FILE, or '-' for one line on stdout")
        ->type_name("FILE|-");
    sub->add_option("--png", options.pngPath, "Draw the first entry's view as a PNG file")
        ->type_name("FILE");
    sub->add_option("--svg", options.svgPath, "Draw the first entry's view as an SVG file")
        ->type_name("FILE");
    sub->add_option("--scale", options.scale, "Pixels per point of the drawing, 1 to 3 (default 3)")
        ->check(CLI::Range(1.0, 3.0));
    sub->add_option("--deadline", options.deadlineSeconds,
                    "Seconds to wait for the answer (default 30), more than 0 and at most 86400")
        ->check(CLI::Range(0.001, 86400.0));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    app.exit(e, std::cerr, std::cerr);
    return kExitAnswered;
  } catch (const CLI::CallForAllHelp& e) {
    app.exit(e, std::cerr, std::cerr);
    return kExitAnswered;
  } catch (const CLI::ParseError& e) {
    app.exit(e, std::cerr, std::cerr);
    return kExitUsage;
  }
  if (!std::isfinite(options.scale) || !std::isfinite(options.deadlineSeconds)) {
    std::cerr << program_invocation_short_name
              << ": --scale and --deadline must be finite numbers\n";
    return kExitUsage;
  }

  const std::vector<WidgetConfiguration> widgets = startBundle(bundle);

  CLI::App* chosen = app.get_subcommands().front();
  request = chosen->get_name();
  if (request == "describe") {
    std::cout << describeBundle(widgets) << std::endl;
    return kExitAnswered;
  }
  return answerRequest(bundle, widgets, request, options);
}

}  // namespace platform::widgetkit
