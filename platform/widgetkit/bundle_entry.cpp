#include "platform/widgetkit/bundle_entry.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>

#include "platform/foundation/bundle.h"
#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/foundation/output_file.h"
#include "platform/ui/renderer_module.h"
#include "platform/ui/view_dump.h"
#include "platform/widgetkit/date_format.h"

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

struct RequestOptions {
  std::string kind;
  std::string appearance = "light";
  std::string jsonPath;
  std::string pngPath;
  std::string svgPath;
  double scale = 3;
  double deadlineSeconds = 30;
};

// The answer, handed over from whichever thread completes the request.
struct Answer {
  std::mutex mutex;
  std::optional<HostTimeline> timeline;
  std::chrono::steady_clock::time_point arrivedAt;
  std::atomic<bool> arrived{false};

  void deliver(HostTimeline value) {
    std::lock_guard lock(mutex);
    if (arrived) return;  // a second completion is the widget's bug; keep the first
    timeline = std::move(value);
    arrivedAt = std::chrono::steady_clock::now();
    arrived = true;
  }
};

nlohmann::ordered_json toOrdered(const nlohmann::json& value) {
  return nlohmann::ordered_json::parse(value.dump());
}

nlohmann::ordered_json entryJSON(const HostEntry& entry) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  out["date"] = iso8601String(entry.date);
  if (entry.data.is_object()) {
    for (auto it = entry.data.begin(); it != entry.data.end(); ++it) out[it.key()] = it.value();
  }
  out["view"] = toOrdered(ui::dumpView(entry.view));
  return out;
}

// Writes `text` to `path` whole or not at all (temporary file, then rename).
bool writeWhole(const std::string& path, const std::string& text) {
  return platform::foundation::writeOutputFile(path, text).ok();
}

int runRequest(const WidgetBundle& bundle, const std::vector<WidgetConfiguration>& widgets,
               const std::string& request, const RequestOptions& options) {
  const WidgetConfiguration* widget = nullptr;
  for (const auto& candidate : widgets) {
    if (candidate.kind == options.kind) widget = &candidate;
  }
  if (widget == nullptr) {
    std::string known;
    for (const auto& candidate : widgets) known += (known.empty() ? "" : ", ") + candidate.kind;
    std::cerr << "error: no widget of kind \"" << options.kind << "\" (known: " << known << ")\n";
    return kExitUsage;
  }
  if (widget->families.empty()) {
    std::cerr << "error: widget \"" << widget->kind << "\" supports no family\n";
    return kExitUsage;
  }
  const WidgetFamily family = widget->families.front();
  const TimelineProviderContext context = TimelineProviderContext::forFamily(family);
  const auto deadlineSpan = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::duration<double>(options.deadlineSeconds));
  const auto deadline = std::chrono::steady_clock::now() + deadlineSpan;
  bundle.willAnswerWithin(deadlineSpan);

  auto answer = std::make_shared<Answer>();
  const bool isTimeline = request == "timeline";
  if (request == "placeholder") {
    if (widget->placeholder)
      answer->deliver(HostTimeline{{widget->placeholder(context)}, TimelineReloadPolicy::never()});
  } else if (request == "snapshot") {
    if (widget->snapshot) {
      widget->snapshot(context, [answer](HostEntry entry) {
        answer->deliver(HostTimeline{{std::move(entry)}, TimelineReloadPolicy::never()});
      });
    }
  } else if (widget->timeline) {
    widget->timeline(context,
                     [answer](HostTimeline timeline) { answer->deliver(std::move(timeline)); });
  }
  foundation::runMainQueueUntil([answer] { return answer->arrived.load(); }, deadline);

  std::optional<HostTimeline> timeline;
  {
    std::lock_guard lock(answer->mutex);
    // The run loop cannot stop a task that blocks past the deadline; an
    // answer such a task delivers came too late all the same.
    if (answer->arrived && answer->arrivedAt <= deadline) timeline = answer->timeline;
  }
  if (!timeline) {
    std::cerr << "error: " << widget->kind << " gave no " << request << " answer within "
              << options.deadlineSeconds << " s\n";
    return kExitNoAnswer;
  }

  nlohmann::ordered_json response = nlohmann::ordered_json::object();
  response["request"] = request;
  response["kind"] = widget->kind;
  response["family"] = std::string(familyName(family));
  response["policy"] = isTimeline
                           ? nlohmann::ordered_json(std::string(policyName(timeline->policy)))
                           : nlohmann::ordered_json(nullptr);
  response["entries"] = nlohmann::ordered_json::array();
  for (const HostEntry& entry : timeline->entries) response["entries"].push_back(entryJSON(entry));

  int status = kExitAnswered;
  if (!options.pngPath.empty() || !options.svgPath.empty()) {
    if (timeline->entries.empty()) {
      std::cerr << "error: the answer has no entry to draw\n";
      status = kExitOutputFailed;
    } else {
      ui::RenderOptions render;
      const Size size = displaySizeOf(family);
      render.size = ui::Size{size.width, size.height};
      render.scale = options.scale;
      render.colorScheme =
          options.appearance == "dark" ? ui::ColorScheme::dark : ui::ColorScheme::light;
      const ui::View& view = timeline->entries.front().view;
      if (!options.pngPath.empty()) {
        auto rendered = ui::renderToPNGDataWithModule(view, render);
        if (!rendered.ok() || !writeWhole(options.pngPath, *rendered.value)) {
          std::cerr << "error: cannot write " << options.pngPath << ": "
                    << (rendered.ok() ? "the file cannot be written"
                                      : rendered.status.localizedDescription())
                    << "\n";
          status = kExitOutputFailed;
        }
      }
      if (!options.svgPath.empty()) {
        auto rendered = ui::renderToSVGDataWithModule(view, render);
        if (!rendered.ok() || !writeWhole(options.svgPath, *rendered.value)) {
          std::cerr << "error: cannot write " << options.svgPath << ": "
                    << (rendered.ok() ? "the file cannot be written"
                                      : rendered.status.localizedDescription())
                    << "\n";
          status = kExitOutputFailed;
        }
      }
    }
  }
  if (options.jsonPath == "-") {
    std::cout << response.dump() << std::endl;
  } else if (!options.jsonPath.empty() && !writeWhole(options.jsonPath, response.dump() + "\n")) {
    std::cerr << "error: cannot write " << options.jsonPath << "\n";
    status = kExitOutputFailed;
  }
  return status;
}

}  // namespace

nlohmann::ordered_json describeBundle(const std::vector<WidgetConfiguration>& widgets) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const auto& widget : widgets) {
    nlohmann::ordered_json families = nlohmann::ordered_json::array();
    for (WidgetFamily family : widget.families) families.push_back(std::string(familyName(family)));
    nlohmann::ordered_json item = nlohmann::ordered_json::object();
    item["kind"] = widget.kind;
    item["families"] = std::move(families);
    item["displayName"] = widget.displayName;
    item["description"] = widget.description;
    list.push_back(std::move(item));
  }
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  out["widgets"] = std::move(list);
  return out;
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
    std::cerr << "error: --scale and --deadline must be finite numbers\n";
    return kExitUsage;
  }

  foundation::setMainBundleIdentifier(bundle.bundleIdentifier());
  bundle.prepare();
  const std::vector<WidgetConfiguration> widgets = bundle.body();

  CLI::App* chosen = app.get_subcommands().front();
  request = chosen->get_name();
  if (request == "describe") {
    std::cout << describeBundle(widgets).dump() << std::endl;
    return kExitAnswered;
  }
  return runRequest(bundle, widgets, request, options);
}

}  // namespace platform::widgetkit
