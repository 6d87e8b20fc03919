#include "platform/widgetkit/host_request.h"

#include <atomic>
#include <cerrno>  // program_invocation_short_name
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/foundation/file_access.h"
#include "platform/foundation/output_file.h"
#include "platform/ui/renderer_module.h"
#include "platform/ui/view_dump.h"
#include "platform/widgetkit/date_format.h"

namespace platform::widgetkit {
namespace {

using nlohmann::ordered_json;

// Text from outside (a kind, a path) with its control bytes escaped.
std::string shown(std::string_view text) { return foundation::escapedForm(text); }

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

ordered_json entryJSON(const HostEntry& entry) {
  ordered_json out = ordered_json::object();
  out["date"] = iso8601String(entry.date);
  const ordered_json data = ordered_json::parse(entry.data, nullptr, false);
  if (data.is_object()) {
    for (auto it = data.begin(); it != data.end(); ++it) out[it.key()] = it.value();
  }
  out["view"] = ui::dumpView(entry.view);
  return out;
}

// Writes `text` to `path` whole or not at all (temporary file, then rename);
// a failure is told on standard error.
bool writeWhole(const std::string& path, const std::string& text) {
  const foundation::Status written = platform::foundation::writeOutputFile(path, text);
  if (!written.ok())
    std::cerr << program_invocation_short_name << ": " << shown(written.localizedDescription())
              << "\n";
  return written.ok();
}

using Renderer = foundation::Result<std::string> (*)(const ui::View&, const ui::RenderOptions&);

// Draws `view` into `path` when one is asked for; false when that fails.
bool draw(Renderer render, const ui::View& view, const ui::RenderOptions& options,
          const std::string& path) {
  if (path.empty()) return true;
  auto rendered = render(view, options);
  if (!rendered.ok()) {
    std::cerr << program_invocation_short_name << ": cannot write " << shown(path) << ": "
              << shown(rendered.status.localizedDescription()) << "\n";
    return false;
  }
  return writeWhole(path, *rendered.value);
}

const WidgetConfiguration* widgetOfKind(const std::vector<WidgetConfiguration>& widgets,
                                        const std::string& kind) {
  const WidgetConfiguration* widget = nullptr;
  for (const auto& candidate : widgets) {
    if (candidate.kind == kind) widget = &candidate;
  }
  if (widget == nullptr) {
    std::string known;
    for (const auto& candidate : widgets) known += (known.empty() ? "" : ", ") + candidate.kind;
    std::cerr << program_invocation_short_name << ": no widget of kind \"" << shown(kind)
              << "\" (known: " << known << ")\n";
  } else if (widget->families.empty()) {
    std::cerr << program_invocation_short_name << ": widget \"" << widget->kind
              << "\" supports no family\n";
    widget = nullptr;
  }
  return widget;
}

}  // namespace

int answerRequest(const WidgetBundle& bundle, const std::vector<WidgetConfiguration>& widgets,
                  const std::string& request, const RequestOptions& options) {
  const WidgetConfiguration* widget = widgetOfKind(widgets, options.kind);
  if (widget == nullptr) return kExitUsage;
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
    std::cerr << program_invocation_short_name << ": " << widget->kind << " gave no " << request
              << " answer within " << options.deadlineSeconds << " s\n";
    return kExitNoAnswer;
  }

  ordered_json response = ordered_json::object();
  response["request"] = request;
  response["kind"] = widget->kind;
  response["family"] = std::string(familyName(family));
  response["policy"] =
      isTimeline ? ordered_json(std::string(policyName(timeline->policy))) : ordered_json(nullptr);
  response["entries"] = ordered_json::array();
  for (const HostEntry& entry : timeline->entries) response["entries"].push_back(entryJSON(entry));

  int status = kExitAnswered;
  if (!options.pngPath.empty() || !options.svgPath.empty()) {
    if (timeline->entries.empty()) {
      std::cerr << program_invocation_short_name << ": the answer has no entry to draw\n";
      status = kExitOutputFailed;
    } else {
      ui::RenderOptions render;
      const Size size = displaySizeOf(family);
      render.size = ui::Size{size.width, size.height};
      render.scale = options.scale;
      render.colorScheme =
          options.appearance == "dark" ? ui::ColorScheme::dark : ui::ColorScheme::light;
      const ui::View& view = timeline->entries.front().view;
      if (!draw(ui::renderToPNGDataWithModule, view, render, options.pngPath)) {
        status = kExitOutputFailed;
      }
      if (!draw(ui::renderToSVGDataWithModule, view, render, options.svgPath)) {
        status = kExitOutputFailed;
      }
    }
  }
  if (options.jsonPath == "-") {
    std::cout.flush();  // after anything written through it before
    if (!foundation::writeStandardOutput(response.dump() + "\n")) status = kExitOutputFailed;
  } else if (!options.jsonPath.empty() && !writeWhole(options.jsonPath, response.dump() + "\n")) {
    status = kExitOutputFailed;
  }
  return status;
}

std::string describeBundle(const std::vector<WidgetConfiguration>& widgets) {
  ordered_json list = ordered_json::array();
  for (const auto& widget : widgets) {
    ordered_json families = ordered_json::array();
    for (WidgetFamily family : widget.families) families.push_back(std::string(familyName(family)));
    ordered_json item = ordered_json::object();
    item["kind"] = widget.kind;
    item["families"] = std::move(families);
    item["displayName"] = widget.displayName;
    item["description"] = widget.description;
    list.push_back(std::move(item));
  }
  ordered_json out = ordered_json::object();
  out["widgets"] = std::move(list);
  return out.dump();
}

}  // namespace platform::widgetkit
