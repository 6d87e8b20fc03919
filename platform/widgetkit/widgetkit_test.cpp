#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "platform/widgetkit/date_format.h"
#include "platform/widgetkit/timeline.h"

namespace platform::widgetkit {
namespace {

using namespace std::chrono;

TEST(TimelineTest, ContextCarriesTheFamilysDisplaySize) {
  const auto small = TimelineProviderContext::forFamily(WidgetFamily::systemSmall);
  EXPECT_EQ(small.displaySize, (Size{170, 170}));
  EXPECT_FALSE(small.isPreview);
  const auto medium = TimelineProviderContext::forFamily(WidgetFamily::systemMedium, true);
  EXPECT_EQ(medium.displaySize, (Size{364, 170}));
  EXPECT_TRUE(medium.isPreview);
}

TEST(TimelineTest, FamilyNamesGoBothWays) {
  for (auto family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium,
                      WidgetFamily::systemLarge, WidgetFamily::systemExtraLarge}) {
    EXPECT_EQ(familyNamed(familyName(family)), family);
  }
  EXPECT_EQ(familyName(WidgetFamily::systemMedium), "systemMedium");
  EXPECT_EQ(familyNamed("systemHuge"), std::nullopt);
  EXPECT_EQ(familyNamed(""), std::nullopt);
}

TEST(TimelineTest, ReloadPoliciesCompareByKindAndDate) {
  const auto date = sys_days{2026y / 12 / 6} + 18h;
  EXPECT_EQ(TimelineReloadPolicy::atEnd(), TimelineReloadPolicy::atEnd());
  EXPECT_NE(TimelineReloadPolicy::atEnd(), TimelineReloadPolicy::never());
  EXPECT_EQ(TimelineReloadPolicy::after(date).date(), date);
  EXPECT_NE(TimelineReloadPolicy::after(date), TimelineReloadPolicy::after(date + 1s));
  EXPECT_EQ(policyName(TimelineReloadPolicy::never()), "never");
  EXPECT_EQ(policyName(TimelineReloadPolicy::atEnd()), "atEnd");
}

static_assert(std::is_abstract_v<TimelineProvider<int>>);
static_assert(std::is_copy_constructible_v<Timeline<int>>);

TEST(DateFormatTest, WritesUtcWithMilliseconds) {
  const auto date = sys_days{2026y / 12 / 6} + 18h + 29min + 28s + 123ms + 999us;
  EXPECT_EQ(iso8601String(date), "2026-12-06T18:29:28.123Z");
  EXPECT_EQ(iso8601String(system_clock::time_point{}), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(iso8601String(sys_days{1969y / 12 / 31} + 23h + 59min + 59s + 999ms),
            "1969-12-31T23:59:59.999Z");
}

TEST(DateFormatTest, ReadsBackWhatItWrites) {
  const auto date = sys_days{2024y / 2 / 29} + 7h + 5min + 3s + 42ms;
  EXPECT_EQ(dateFromISO8601(iso8601String(date)), date);
}

TEST(DateFormatTest, RejectsOtherForms) {
  for (const char* text :
       {"", "2026-12-06", "2026-12-06T18:29:28Z", "2026-12-06T18:29:28.123+01:00",
        "2026-02-30T00:00:00.000Z", "2026-12-06T24:00:00.000Z", "2026-1a-06T18:29:28.123Z",
        "2026-12-06 18:29:28.123Z"}) {
    EXPECT_EQ(dateFromISO8601(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace platform::widgetkit
