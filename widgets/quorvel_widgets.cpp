#include "widgets/quorvel_widgets.h"

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

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

std::string entryData(const QuorvelSimpleEntry& entry) {
  if (!entry.portfolio) return R"({"portfolio":null})";
  // Through the view dump's number form, so a non-finite total is written as
  // text rather than making the JSON unwritable. Plain json orders members
  // by name, which is the order wanted here.
  const nlohmann::json portfolio = {
      {"todayBalance", platform::ui::dumpNumber(entry.portfolio->todayBalance)},
      {"yesterdayBalance", platform::ui::dumpNumber(entry.portfolio->yesterdayBalance)}};
  return nlohmann::json{{"portfolio", portfolio}}.dump();
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
