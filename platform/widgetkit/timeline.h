// The widget host's timeline-provider types: families, the context of a
// request, reload policies, timelines and the provider interface a widget
// implements.
//
// Everything except TimelineProvider is a plain value: copy freely, read from
// any thread. A provider is called by the host from any thread; the thread
// rule of its callbacks is the provider's own contract.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ui/geometry.h"

namespace platform::widgetkit {

enum class WidgetFamily { systemSmall, systemMedium, systemLarge, systemExtraLarge };

// "systemSmall", ... as the host writes them.
std::string_view familyName(WidgetFamily family);
// The family of that name; none for an unknown name.
std::optional<WidgetFamily> familyNamed(std::string_view name);
void PrintTo(WidgetFamily family, std::ostream* out);

using Size = platform::ui::Size;  // points

// The size the host gives a widget of `family`: systemSmall 170x170,
// systemMedium 364x170, systemLarge 364x382, systemExtraLarge 715x330.
Size displaySizeOf(WidgetFamily family);

struct TimelineProviderContext {
  WidgetFamily family = WidgetFamily::systemSmall;
  bool isPreview = false;  // the widget gallery asks, not the home screen
  Size displaySize = displaySizeOf(WidgetFamily::systemSmall);

  static TimelineProviderContext forFamily(WidgetFamily family, bool isPreview = false) {
    return TimelineProviderContext{family, isPreview, displaySizeOf(family)};
  }
  friend bool operator==(const TimelineProviderContext&, const TimelineProviderContext&) = default;
};

// When the host asks for the next timeline: after the last entry's date
// (atEnd), not until the app asks (never), or after a given date.
class TimelineReloadPolicy {
 public:
  enum class Kind { atEnd, never, after };

  static TimelineReloadPolicy atEnd() { return TimelineReloadPolicy(Kind::atEnd, {}); }
  static TimelineReloadPolicy never() { return TimelineReloadPolicy(Kind::never, {}); }
  static TimelineReloadPolicy after(std::chrono::system_clock::time_point date) {
    return TimelineReloadPolicy(Kind::after, date);
  }

  Kind kind() const { return kind_; }
  // The date of an `after` policy; the epoch for the others.
  std::chrono::system_clock::time_point date() const { return date_; }

  friend bool operator==(const TimelineReloadPolicy&, const TimelineReloadPolicy&) = default;

 private:
  TimelineReloadPolicy(Kind kind, std::chrono::system_clock::time_point date)
      : kind_(kind), date_(date) {}

  Kind kind_;
  std::chrono::system_clock::time_point date_;
};

// "atEnd", "never", or "after" as the host writes them.
std::string_view policyName(const TimelineReloadPolicy& policy);
void PrintTo(const TimelineReloadPolicy& policy, std::ostream* out);

template <class Entry>
struct Timeline {
  std::vector<Entry> entries;
  TimelineReloadPolicy policy = TimelineReloadPolicy::atEnd();
};

// What a widget implements so the host can show it. Each callback is called
// exactly once per request, on the queue the implementation documents.
template <class Entry>
class TimelineProvider {
 public:
  TimelineProvider() = default;
  TimelineProvider(const TimelineProvider&) = delete;
  TimelineProvider& operator=(const TimelineProvider&) = delete;
  virtual ~TimelineProvider() = default;

  // An entry to draw at once while nothing real is known; no I/O.
  virtual Entry placeholder(const TimelineProviderContext& context) const = 0;
  // One entry for a quick look (gallery, transitions).
  virtual void getSnapshot(const TimelineProviderContext& context,
                           std::function<void(Entry)> completion) const = 0;
  // The entries to show from now on and when to ask again.
  virtual void getTimeline(const TimelineProviderContext& context,
                           std::function<void(Timeline<Entry>)> completion) const = 0;
};

}  // namespace platform::widgetkit
