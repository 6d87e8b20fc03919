#include "store/snapshot_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <limits>

#include "platform/foundation/user_defaults.h"
#include "store/shared_realm_configuration.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using platform::foundation::UserDefaults;
using quorvel::testing::CapturedStdout;
using quorvel::testing::ScopedHome;

UserDefaults suite() { return *UserDefaults::suite(appGroupIdentifier); }

void storeRaw(const std::string& bytes) {
  ASSERT_OK(suite().set(kPortfolioWidgetKey, UserDefaults::Data(bytes.begin(), bytes.end())));
}

TEST(SnapshotStoreTest, SavedTotalsLoadBackExactly) {
  ScopedHome home;
  CapturedStdout out;
  savePortfolioWidget(70, 69);
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{70, 69}));
  savePortfolioWidget(12345.678, 12000.000000001);
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{12345.678, 12000.000000001}));
  EXPECT_EQ(out.finish(), "");
  // Stored as data, not text.
  EXPECT_EQ(suite().string(kPortfolioWidgetKey), std::nullopt);
  auto data = suite().data(kPortfolioWidgetKey);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(std::string(data->begin(), data->end()),
            R"({"todayBalance":12345.678,"yesterdayBalance":12000.000000001})");
}

TEST(SnapshotStoreTest, ZerosAreAPresentSnapshot) {
  ScopedHome home;
  savePortfolioWidget(0, 0);
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{0, 0}));
}

TEST(SnapshotStoreTest, NothingStoredLoadsAsNoneSilently) {
  ScopedHome home;
  CapturedStdout out;
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  EXPECT_EQ(out.finish(), "");
}

TEST(SnapshotStoreTest, NonFiniteTotalIsLoggedAndTheOldSnapshotKept) {
  ScopedHome home;
  savePortfolioWidget(5, 4);
  CapturedStdout out;
  savePortfolioWidget(std::nan(""), 4);
  savePortfolioWidget(1, std::numeric_limits<double>::infinity());
  std::string log = out.finish();
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{5, 4}));
  ASSERT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  EXPECT_EQ(log.rfind("\"Unable to Encode Configs (invalidValue(Double.nan, codingPath: "
                      "[\\\"todayBalance\\\"], ",
                      0),
            0u)
      << log;
  EXPECT_NE(log.find("\n\"Unable to Encode Configs (invalidValue(Double.infinity"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.substr(log.size() - 3), ")\"\n");
}

TEST(SnapshotStoreTest, UndecodableValueLogsOnEveryLoadAndStaysInPlace) {
  ScopedHome home;
  for (const std::string& bad : std::vector<std::string>{R"({"todayBalance":"12"})", R"([1,2])",
                                                         std::string("\xff\x00garbage", 9)}) {
    storeRaw(bad);
    CapturedStdout out;
    EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
    EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
    std::string log = out.finish();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
    EXPECT_EQ(log.rfind("\"Unable to Decode Configs (", 0), 0u) << log;
    auto still = suite().data(kPortfolioWidgetKey);
    EXPECT_EQ(std::string(still->begin(), still->end()), bad);
  }
}

TEST(SnapshotStoreTest, TextValueUnderTheKeyLoadsAsNoneWithoutALine) {
  ScopedHome home;
  ASSERT_OK(suite().set(kPortfolioWidgetKey, R"({"todayBalance":1,"yesterdayBalance":2})"));
  CapturedStdout out;
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  EXPECT_EQ(out.finish(), "");
}

TEST(SnapshotStoreTest, CorruptSuiteFileIsKeptAsideByTheNextSave) {
  ScopedHome home;
  quorvel::testing::writeFileBytes(suite().file(), "bplist00 but truncated");
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  savePortfolioWidget(3, 2);
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{3, 2}));
  bool kept = false;
  for (const auto& entry : std::filesystem::directory_iterator(suite().file().parent_path())) {
    kept |= entry.path().filename().string().find(".corrupt-") != std::string::npos;
  }
  EXPECT_TRUE(kept);
}

TEST(SnapshotStoreTest, NoContainerMeansNothingStoredOrLoaded) {
  quorvel::testing::TempDir dir;
  quorvel::testing::writeFileBytes(dir.path() / "file", "x");
  quorvel::testing::ScopedEnv env("QUORVEL_HOME", (dir.path() / "file").string());
  CapturedStdout out;
  savePortfolioWidget(1, 2);
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  EXPECT_EQ(out.finish(), "");
}

TEST(SnapshotStoreTest, ProcessesSavingAtOnceLeaveEveryKeyAndWholeSnapshots) {
  ScopedHome home;
  constexpr int kProcesses = 6;
  constexpr int kRounds = 20;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    if (pid == 0) {
      for (int i = 0; i < kRounds; ++i) {
        // Each process saves balances whose ratio identifies a whole save.
        double today = 1000.0 * (p + 1) + i;
        savePortfolioWidget(today, today * 2);
        if (!suite().set("other-" + std::to_string(p) + "-" + std::to_string(i), "v").ok())
          ::_exit(1);
        auto seen = loadPortfolioWidget();
        if (!seen || seen->yesterdayBalance != seen->todayBalance * 2) ::_exit(2);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  auto last = loadPortfolioWidget();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->yesterdayBalance, last->todayBalance * 2);
  EXPECT_EQ(suite().keys().size(), static_cast<size_t>(kProcesses * kRounds + 1));
}

}  // namespace
}  // namespace quorvel
