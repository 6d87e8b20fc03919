#include "widgets/quorvel_widgets.h"

#include <algorithm>
#include <memory>

#include "platform/foundation/locale/string_table.h"
#include "platform/ui/view_dump.h"
#include "resources/main_bundle.h"
#include "views/entry_views.h"
#include "widgets/configuration_intent.h"
#include "widgets/quorvel_provider.h"
#include "widgets/widget_managers.h"

namespace quorvel {

using platform::foundation::localizedString;
using platform::widgetkit::WidgetConfiguration;
using platform::widgetkit::WidgetFamily;

nlohmann::ordered_json entryData(const QuorvelSimpleEntry& entry) {
  nlohmann::ordered_json data = nlohmann::ordered_json::object();
  if (!entry.portfolio) {
    data["portfolio"] = nullptr;
    return data;
  }
  nlohmann::ordered_json portfolio = nlohmann::ordered_json::object();
  // Through the view dump's number form, so a non-finite total is written as
  // text rather than making the JSON unwritable.
  portfolio["todayBalance"] =
      nlohmann::ordered_json::parse(platform::ui::dumpNumber(entry.portfolio->todayBalance).dump());
  portfolio["yesterdayBalance"] = nlohmann::ordered_json::parse(
      platform::ui::dumpNumber(entry.portfolio->yesterdayBalance).dump());
  data["portfolio"] = std::move(portfolio);
  return data;
}

namespace {

template <class RootView>
WidgetConfiguration configuration(std::string_view kind, WidgetFamily family) {
  return platform::widgetkit::staticConfiguration<QuorvelSimpleEntry>(
      std::string(kind), std::make_shared<const QuorvelProvider>(),
      [](const QuorvelSimpleEntry& entry) {
        return RootView{entry, std::string(kWidgetDeeplinkURL)}.body();
      },
      entryData, localizedString("Localizable.widget_title"),
      localizedString("Localizable.widget_description"), {family});
}

}  // namespace

WidgetConfiguration quorvelSmallWidget() {
  return configuration<QuorvelWidgetsEntrySmallView>(kSmallWidgetKind, WidgetFamily::systemSmall);
}

WidgetConfiguration quorvelMediumWidget() {
  return configuration<QuorvelWidgetsEntryMediumView>(kMediumWidgetKind,
                                                      WidgetFamily::systemMedium);
}

std::string QuorvelWidgets::bundleIdentifier() const {
  return std::string(kWidgetsBundleIdentifier);
}

void QuorvelWidgets::prepare() const {
  registerMainBundleResources();
  // The intent classes are found by their runtime names, never linked to by
  // name, so they are registered explicitly.
  registerConfigurationIntentClasses();
}

std::vector<WidgetConfiguration> QuorvelWidgets::body() const {
  return {quorvelSmallWidget(), quorvelMediumWidget()};
}

void QuorvelWidgets::willAnswerWithin(std::chrono::milliseconds deadline) const {
  // The request must give up early enough to leave time for the answer
  // itself: up to 2 s, and a quarter of a short deadline.
  WidgetManagers::RequestLimits limits = WidgetManagers::requestLimits();
  const auto margin = std::min(std::chrono::milliseconds(2000), deadline / 4);
  limits.timeout = std::max(std::chrono::milliseconds(50), deadline - margin);
  WidgetManagers::setRequestLimits(limits);
}

}  // namespace quorvel
