// What the command-line runs of the real extension cannot show: widgets that
// answer never, twice or with no entry, and the deadline the bundle is told.
#include <gtest/gtest.h>

#include "platform/ui/color.h"
#include "platform/widgetkit/bundle_entry.h"
#include "platform/widgetkit/date_format.h"
#include "tests/support/test_support.h"

namespace platform::widgetkit {
namespace {

using namespace std::chrono;

struct Entry {
  system_clock::time_point date;
  int value = 0;
};

class Provider : public TimelineProvider<Entry> {
 public:
  explicit Provider(std::string kind) : kind_(std::move(kind)) {}
  Entry placeholder(const TimelineProviderContext&) const override { return {{}, 1}; }
  void getSnapshot(const TimelineProviderContext&, std::function<void(Entry)> done) const override {
    done({{}, 2});
    done({{}, 5});  // a second answer is the widget's bug: the first stands
  }
  void getTimeline(const TimelineProviderContext&,
                   std::function<void(Timeline<Entry>)> done) const override {
    if (kind_ == "Empty") done({});  // and "Mute" never answers
  }

 private:
  std::string kind_;
};

struct Bundle : WidgetBundle {
  std::string bundleIdentifier() const override { return "example.bundle"; }
  std::vector<WidgetConfiguration> body() const override {
    std::vector<WidgetConfiguration> widgets;
    for (const char* kind : {"Twice", "Mute", "Empty"}) {
      widgets.push_back(staticConfiguration<Entry>(
          kind, std::make_shared<const Provider>(kind),
          [](const Entry&) { return ui::View(ui::Color::clear()); },
          [](const Entry& entry) { return "{\"value\":" + std::to_string(entry.value) + "}"; },
          "Name", "About", {WidgetFamily::systemMedium, WidgetFamily::systemSmall}));
    }
    return widgets;
  }
  void willAnswerWithin(milliseconds deadline) const override { told = deadline; }
  mutable milliseconds told{0};
};

TEST(BundleEntryTest, AnswersArriveInTimeOnceOrNotAtAll) {
  quorvel::testing::TempDir dir;
  const std::string out = (dir.path() / "out.json").string();
  const struct {
    std::string request, kind, deadline;
    int exit;
    std::string response;  // the start of what is written to `out`
  } rows[] = {
      {"snapshot", "Twice", "2.5", kExitAnswered,
       R"({"request":"snapshot","kind":"Twice","family":"systemMedium","policy":null,)"
       R"("entries":[{"date":"1970-01-01T00:00:00.000Z","value":2,"view":{)"},
      {"timeline", "Empty", "30", kExitAnswered, R"({"request":"timeline","kind":"Empty")"},
      {"timeline", "Mute", "0.2", kExitNoAnswer, ""},
  };
  for (const auto& row : rows) {
    std::filesystem::remove(out);
    const char* argv[] = {"x",          row.request.c_str(),  "--kind", row.kind.c_str(),
                          "--deadline", row.deadline.c_str(), "--json", out.c_str()};
    Bundle bundle;
    EXPECT_EQ(runWidgetBundle(bundle, 8, argv), row.exit) << row.kind;
    EXPECT_EQ(bundle.told, duration_cast<milliseconds>(duration<double>(std::stod(row.deadline))));
    EXPECT_EQ(quorvel::testing::readFileBytes(out).substr(0, row.response.size()), row.response);
  }
  const char* draw[] = {"x", "timeline", "--kind", "Empty", "--png", out.c_str()};
  Bundle bundle;
  EXPECT_EQ(runWidgetBundle(bundle, 6, draw), kExitOutputFailed);  // no entry to draw
  EXPECT_EQ(bundle.told, 30s);
  EXPECT_EQ(iso8601String(sys_days{1969y / 12 / 31} + 23h + 59min + 59s + 999ms + 999us),
            "1969-12-31T23:59:59.999Z");
}

}  // namespace
}  // namespace platform::widgetkit
