#include "platform/widgetkit/bundle_entry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/ui/color.h"
#include "tests/support/test_support.h"

namespace platform::widgetkit {
namespace {

struct Entry {
  std::chrono::system_clock::time_point date;
  int value = 0;
};

// Answers the timeline later on the main queue, or never when `silent`.
class FakeProvider : public TimelineProvider<Entry> {
 public:
  explicit FakeProvider(bool silent) : silent_(silent) {}
  Entry placeholder(const TimelineProviderContext&) const override { return Entry{{}, 1}; }
  void getSnapshot(const TimelineProviderContext&,
                   std::function<void(Entry)> completion) const override {
    if (!silent_) completion(Entry{{}, 2});
  }
  void getTimeline(const TimelineProviderContext&,
                   std::function<void(Timeline<Entry>)> completion) const override {
    if (silent_) return;
    foundation::DispatchQueue::main().async([completion] {
      completion(Timeline<Entry>{{Entry{{}, 3}, Entry{{}, 4}}, TimelineReloadPolicy::never()});
    });
  }

 private:
  bool silent_;
};

class FakeBundle : public WidgetBundle {
 public:
  std::string bundleIdentifier() const override { return "example.bundle"; }
  std::vector<WidgetConfiguration> body() const override {
    auto make = [](std::string kind, bool silent, WidgetFamily family) {
      return staticConfiguration<Entry>(
          std::move(kind), std::make_shared<const FakeProvider>(silent),
          [](const Entry&) { return ui::View(ui::Color::clear()); },
          [](const Entry& entry) {
            return nlohmann::ordered_json{{"value", entry.value}};
          },
          "Name", "About", {family});
    };
    return {make("Talker", false, WidgetFamily::systemMedium),
            make("Mute", true, WidgetFamily::systemSmall)};
  }
  void willAnswerWithin(std::chrono::milliseconds deadline) const override {
    lastDeadline = deadline;
  }
  mutable std::chrono::milliseconds lastDeadline{0};
};

int run(const FakeBundle& bundle, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "extension");
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  return runWidgetBundle(bundle, static_cast<int>(argv.size()), argv.data());
}

nlohmann::json readJSON(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return nlohmann::json::parse(text.str());
}

TEST(BundleEntryTest, DescribesWidgetsInBundleOrder) {
  const auto described = describeBundle(FakeBundle{}.body());
  EXPECT_EQ(
      described.dump(),
      R"({"widgets":[{"kind":"Talker","families":["systemMedium"],"displayName":"Name","description":"About"},)"
      R"({"kind":"Mute","families":["systemSmall"],"displayName":"Name","description":"About"}]})");
}

TEST(BundleEntryTest, TimelineIsWrittenWithPolicyAndEveryEntry) {
  quorvel::testing::TempDir dir;
  FakeBundle bundle;
  const auto path = dir.path() / "out.json";
  ASSERT_EQ(
      run(bundle, {"timeline", "--kind", "Talker", "--json", path.string(), "--deadline", "5"}),
      kExitAnswered);
  EXPECT_EQ(bundle.lastDeadline, std::chrono::milliseconds(5000));
  const auto response = readJSON(path);
  EXPECT_EQ(response["request"], "timeline");
  EXPECT_EQ(response["family"], "systemMedium");
  EXPECT_EQ(response["policy"], "never");
  ASSERT_EQ(response["entries"].size(), 2u);
  EXPECT_EQ(response["entries"][1]["value"], 4);
  EXPECT_EQ(response["entries"][0]["date"], "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(response["entries"][0]["view"]["type"], "Color");
}

TEST(BundleEntryTest, PlaceholderHasNullPolicyAndDraws) {
  quorvel::testing::TempDir dir;
  const auto json = dir.path() / "out.json";
  const auto png = dir.path() / "out.png";
  ASSERT_EQ(run(FakeBundle{}, {"placeholder", "--kind", "Mute", "--json", json.string(), "--png",
                               png.string(), "--scale", "1", "--appearance", "dark"}),
            kExitAnswered);
  EXPECT_TRUE(readJSON(json)["policy"].is_null());
  EXPECT_EQ(readJSON(json)["entries"][0]["value"], 1);
  EXPECT_GT(std::filesystem::file_size(png), 0u);
}

TEST(BundleEntryTest, NoAnswerBeforeDeadlineExitsThree) {
  quorvel::testing::TempDir dir;
  const auto json = dir.path() / "out.json";
  EXPECT_EQ(run(FakeBundle{},
                {"timeline", "--kind", "Mute", "--deadline", "0.2", "--json", json.string()}),
            kExitNoAnswer);
  EXPECT_FALSE(std::filesystem::exists(json));
}

TEST(BundleEntryTest, UsageErrorsExitTwo) {
  FakeBundle bundle;
  EXPECT_EQ(run(bundle, {}), kExitUsage);
  EXPECT_EQ(run(bundle, {"timeline"}), kExitUsage);
  EXPECT_EQ(run(bundle, {"timeline", "--kind", "Unknown"}), kExitUsage);
  EXPECT_EQ(run(bundle, {"timeline", "--kind", "Talker", "--scale", "0"}), kExitUsage);
  EXPECT_EQ(run(bundle, {"timeline", "--kind", "Talker", "--appearance", "blue"}), kExitUsage);
  EXPECT_EQ(run(bundle, {"timeline", "--kind", "Talker", "--deadline", "nan"}), kExitUsage);
  EXPECT_EQ(run(bundle, {"frobnicate"}), kExitUsage);
}

}  // namespace
}  // namespace platform::widgetkit
