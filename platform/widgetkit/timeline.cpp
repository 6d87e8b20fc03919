#include "platform/widgetkit/timeline.h"

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

const FamilyInfo& infoOf(WidgetFamily family) {
  for (const FamilyInfo& info : kFamilies) {
    if (info.family == family) return info;
  }
  return kFamilies[0];
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
