// The widget host's side of a widget bundle: the configurations a bundle
// declares and the command-line entry that stands in for the phone's host.
//
// A bundle knows its widgets; the host knows nothing of them beyond what
// WidgetConfiguration offers: kind, families, names, and three type-erased
// requests that yield entries as {date, data members, view}.
//
// Thread rule: configurations are built and called on the thread running
// the entry; completions may arrive on any thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/view.h"
#include "platform/widgetkit/timeline.h"

namespace platform::widgetkit {

// One entry as the host sees it.
struct HostEntry {
  std::chrono::system_clock::time_point date;
  // Members the widget adds to the entry's JSON between "date" and "view":
  // the text of a JSON object, whose members keep their order.
  std::string data = "{}";
  ui::View view;
};

struct HostTimeline {
  std::vector<HostEntry> entries;
  TimelineReloadPolicy policy = TimelineReloadPolicy::atEnd();
};

struct WidgetConfiguration {
  std::string kind;
  std::vector<WidgetFamily> families;
  std::string displayName;
  std::string description;
  std::function<HostEntry(const TimelineProviderContext&)> placeholder;
  std::function<void(const TimelineProviderContext&, std::function<void(HostEntry)>)> snapshot;
  std::function<void(const TimelineProviderContext&, std::function<void(HostTimeline)>)> timeline;
};

// A static configuration: one provider (shared by the three requests and
// kept alive by them), a content function turning an entry into its view,
// and `entryData` giving the members the host writes for an entry (the text
// of a JSON object). Entry needs a `date` member (a system_clock time point).
template <class Entry>
WidgetConfiguration staticConfiguration(std::string kind,
                                        std::shared_ptr<const TimelineProvider<Entry>> provider,
                                        std::function<ui::View(const Entry&)> content,
                                        std::function<std::string(const Entry&)> entryData,
                                        std::string displayName, std::string description,
                                        std::vector<WidgetFamily> families) {
  auto erase = [content, entryData](const Entry& entry) {
    return HostEntry{entry.date, entryData(entry), content(entry)};
  };
  WidgetConfiguration configuration;
  configuration.kind = std::move(kind);
  configuration.families = std::move(families);
  configuration.displayName = std::move(displayName);
  configuration.description = std::move(description);
  configuration.placeholder = [provider, erase](const TimelineProviderContext& context) {
    return erase(provider->placeholder(context));
  };
  configuration.snapshot = [provider, erase](const TimelineProviderContext& context,
                                             std::function<void(HostEntry)> completion) {
    provider->getSnapshot(context, [erase, completion](Entry entry) { completion(erase(entry)); });
  };
  configuration.timeline = [provider, erase](const TimelineProviderContext& context,
                                             std::function<void(HostTimeline)> completion) {
    provider->getTimeline(context, [erase, completion](Timeline<Entry> timeline) {
      HostTimeline erased;
      erased.policy = timeline.policy;
      for (const Entry& entry : timeline.entries) erased.entries.push_back(erase(entry));
      completion(std::move(erased));
    });
  };
  return configuration;
}

// What an extension's widget bundle provides to its entry.
class WidgetBundle {
 public:
  virtual ~WidgetBundle() = default;
  // The extension's bundle identifier, set before anything else runs.
  virtual std::string bundleIdentifier() const = 0;
  // Called once before body(): register resources and the like. No I/O.
  virtual void prepare() const {}
  // The widgets, in bundle order.
  virtual std::vector<WidgetConfiguration> body() const = 0;
  // Told how long the host will wait for this request's answer, before the
  // request is made, so network limits can be shortened to fit.
  virtual void willAnswerWithin(std::chrono::milliseconds /*deadline*/) const {}
};

// Exit statuses of the entry.
inline constexpr int kExitAnswered = 0;
inline constexpr int kExitOutputFailed =
    1;  // answered, but a requested output could not be written
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoAnswer = 3;

// The host stand-in's command line (see --help); returns the exit status.
int runWidgetBundle(const WidgetBundle& bundle, int argc, const char* const* argv);

// What every host does first: names the process after the bundle, lets it
// prepare, and returns its widgets.
std::vector<WidgetConfiguration> startBundle(const WidgetBundle& bundle);

// The one line of JSON `describe` prints.
std::string describeBundle(const std::vector<WidgetConfiguration>& widgets);

}  // namespace platform::widgetkit
