#include "platform/widgetkit/timeline.h"

#include <iterator>

namespace platform::widgetkit {

namespace {

struct FamilyInfo {
  WidgetFamily family;
  std::string_view name;
  Size size;
};

// The one table of widget sizes, those of a 428 or 430 point wide phone:
// the host renders at them and tests read them from here.
constexpr FamilyInfo kFamilies[] = {
    {WidgetFamily::systemSmall, "systemSmall", {170, 170}},
    {WidgetFamily::systemMedium, "systemMedium", {364, 170}},
    {WidgetFamily::systemLarge, "systemLarge", {364, 382}},
    {WidgetFamily::systemExtraLarge, "systemExtraLarge", {715, 330}},
};

// Listed in the enum's order, so that a family's value finds its row.
static_assert([] {
  for (std::size_t i = 0; i < std::size(kFamilies); ++i)
    if (static_cast<std::size_t>(kFamilies[i].family) != i) return false;
  return true;
}());

const FamilyInfo& infoOf(WidgetFamily family) {
  return kFamilies[static_cast<std::size_t>(family)];
}

}  // namespace

std::string_view familyName(WidgetFamily family) { return infoOf(family).name; }

std::optional<WidgetFamily> familyNamed(std::string_view name) {
  for (const FamilyInfo& info : kFamilies) {
    if (info.name == name) return info.family;
  }
  return std::nullopt;
}

void PrintTo(WidgetFamily family, std::ostream* out) { *out << familyName(family); }

Size displaySizeOf(WidgetFamily family) { return infoOf(family).size; }

std::string_view policyName(const TimelineReloadPolicy& policy) {
  switch (policy.kind()) {
    case TimelineReloadPolicy::Kind::atEnd:
      return "atEnd";
    case TimelineReloadPolicy::Kind::never:
      return "never";
    case TimelineReloadPolicy::Kind::after:
      return "after";
  }
  return "atEnd";
}

void PrintTo(const TimelineReloadPolicy& policy, std::ostream* out) {
  *out << policyName(policy);
  if (policy.kind() == TimelineReloadPolicy::Kind::after) {
    *out << "(" << policy.date().time_since_epoch().count() << ")";
  }
}

}  // namespace platform::widgetkit
