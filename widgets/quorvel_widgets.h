// QuorvelWidgets: the extension's widget bundle, QuorvelSmallWidget then
// QuorvelMediumWidget, each a static configuration of a QuorvelProvider
// with one family. Building the body reads and fetches nothing.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "model/quorvel_simple_entry.h"
#include "platform/widgetkit/bundle_entry.h"

namespace quorvel {

inline constexpr std::string_view kWidgetsBundleIdentifier = "com.tavrin.quorvel.widgets";
inline constexpr std::string_view kWidgetDeeplinkURL = "quorvel-widget-portfolio://";
inline constexpr std::string_view kSmallWidgetKind = "QuorvelSmallWidget";
inline constexpr std::string_view kMediumWidgetKind = "QuorvelMediumWidget";

// The members an entry adds to the host's JSON, as the text of an object:
// {"portfolio": null or {"todayBalance":…,"yesterdayBalance":…}}.
std::string entryData(const QuorvelSimpleEntry& entry);

platform::widgetkit::WidgetConfiguration quorvelSmallWidget();
platform::widgetkit::WidgetConfiguration quorvelMediumWidget();

class QuorvelWidgets : public platform::widgetkit::WidgetBundle {
 public:
  std::string bundleIdentifier() const override;
  void prepare() const override;
  std::vector<platform::widgetkit::WidgetConfiguration> body() const override;
  // Shortens the ticker request's time-out to the deadline minus 2 s (at
  // least 1 s), so an answer (possibly from stored texts) still arrives.
  void willAnswerWithin(std::chrono::milliseconds deadline) const override;
};

}  // namespace quorvel
