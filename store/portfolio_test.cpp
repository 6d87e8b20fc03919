#include "store/portfolio.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>

#include "platform/foundation/user_defaults.h"
#include "store/shared_realm_configuration.h"
#include "store/snapshot_store.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using platform::foundation::UserDefaults;
using quorvel::testing::CapturedStdout;
using quorvel::testing::ScopedHome;

template <class Record, class Decode>
void expectBytes(const Record& record, const std::string& bytes, Decode decode) {
  auto json = encodeJSON(record);
  ASSERT_OK(json.status);
  EXPECT_EQ(*json.value, bytes);
  auto back = decode(bytes);
  ASSERT_OK(back.status);
  EXPECT_EQ(*back.value, record);
}

TEST(PortfolioJsonTest, WritesCompactOrderedMembersAndShortestNumbersThatReadBack) {
  const std::pair<PortfolioWidget, std::string> rows[] = {
      {{12345.678, 12000}, R"({"todayBalance":12345.678,"yesterdayBalance":12000})"},
      {{-0.0, 0}, R"({"todayBalance":-0,"yesterdayBalance":0})"},
      {{1e5, 0.1 + 0.2}, R"({"todayBalance":1e+05,"yesterdayBalance":0.30000000000000004})"},
      {{5e-324, -1.7976931348623157e308},
       R"({"todayBalance":5e-324,"yesterdayBalance":-1.7976931348623157e+308})"},
      // Past 2^63 plain digits would read back as an integer the reader refuses.
      {{9223372036854775808.0, -4.3092233720368549e+20},
       R"({"todayBalance":9.223372036854776e+18,"yesterdayBalance":-4.309223372036855e+20})"},
      {{9223372036854774784.0, 1e21},
       R"({"todayBalance":9223372036854774784,"yesterdayBalance":1e+21})"},
  };
  for (const auto& [snapshot, bytes] : rows) expectBytes(snapshot, bytes, decodePortfolioWidget);
  auto line = encodeJSON(Portfolio{"a\"\\\n\t\x01\x7f/é", 0.5, 31000, -500});
  EXPECT_EQ(*line.value,
            "{\"symbol\":\"a\\\"\\\\\\n\\t\\u0001\x7f/é\",\"amount\":0.5,\"price\":31000,"
            "\"priceChange\":-500}");
  EXPECT_EQ(*decodePortfolio(*line.value).value,
            (Portfolio{"a\"\\\n\t\x01\x7f/é", 0.5, 31000, -500}));
}

TEST(PortfolioJsonTest, ValuesThatAreNotFiniteCannotBeWritten) {
  const std::pair<double, const char*> rows[] = {
      {NAN, "Double.nan"}, {INFINITY, "Double.infinity"}, {-INFINITY, "-Double.infinity"}};
  for (const auto& [value, name] : rows) {
    EXPECT_EQ(encodeJSON(PortfolioWidget{1, value}).status.localizedDescription(),
              std::string("invalidValue(") + name + ", codingPath: [\"yesterdayBalance\"], " +
                  "Unable to encode " + name + " directly in JSON.)");
    EXPECT_FALSE(encodeJSON(Portfolio{"x", 1, 2, value}).ok());
  }
}

TEST(PortfolioJsonTest, ReadingDefaultsWhatIsMissingAndRefusesOtherTypes) {
  const std::pair<const char*, std::string> rows[] = {
      {R"( {"yesterdayBalance":2,"x":"y","n":{"todayBalance":9},"todayBalance":null} )", "0 2"},
      {R"({"todayBalance":1e2,"yesterdayBalance":18446744073709551615})", "100 1.84467e+19"},
      {R"({"todayBalance":"12"})",
       "typeMismatch(Double, codingPath: [\"todayBalance\"], "
       "Expected to decode Double but found a string instead.)"},
      {R"({"todayBalance":1,"yesterdayBalance":[true]})",
       "typeMismatch(Double, codingPath: [\"yesterdayBalance\"], Expected to decode Double but "
       "found an array instead.)"},
      {R"({"todayBalance":{}})",
       "typeMismatch(Double, codingPath: [\"todayBalance\"], Expected "
       "to decode Double but found a dictionary instead.)"},
      {R"({"todayBalance":false})",
       "typeMismatch(Double, codingPath: [\"todayBalance\"], "
       "Expected to decode Double but found a bool instead.)"},
      {"null",
       "typeMismatch(Dictionary<String, Any>, codingPath: [], Expected to decode "
       "Dictionary<String, Any> but found null instead.)"},
      {"42",
       "typeMismatch(Dictionary<String, Any>, codingPath: [], Expected to decode "
       "Dictionary<String, Any> but found a number instead.)"},
      {"{",
       "dataCorrupted(codingPath: [], The given data was not valid JSON. (The JSON document "
       "has an improper structure: missing or superfluous commas, braces, missing keys, "
       "etc.))"},
  };
  for (const auto& [json, expected] : rows) {
    auto result = decodePortfolioWidget(json);
    std::ostringstream shown;
    if (result.ok()) shown << result.value->todayBalance << " " << result.value->yesterdayBalance;
    EXPECT_EQ(result.ok() ? shown.str() : result.status.localizedDescription(), expected) << json;
  }
  EXPECT_EQ(*decodePortfolio("{}").value, Portfolio{});
  EXPECT_EQ(decodePortfolio(R"({"symbol":5})").status.localizedDescription(),
            "typeMismatch(String, codingPath: [\"symbol\"], Expected to decode String but found "
            "a number instead.)");
}

UserDefaults suite() { return *UserDefaults::suite(appGroupIdentifier); }

TEST(SnapshotStoreTest, ProcessesSaveWholeSnapshotsThatLoadBackExactly) {
  ScopedHome home;
  CapturedStdout out;
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  std::vector<pid_t> children;
  for (int p = 1; p <= 4; ++p) {
    if (pid_t pid = ::fork(); pid != 0) {
      children.push_back(pid);
      continue;
    }
    for (int i = 0; i < 10; ++i) {
      savePortfolioWidget(1000.5 * p + i, (1000.5 * p + i) * 2);
      auto seen = loadPortfolioWidget();
      if (!seen || seen->yesterdayBalance != seen->todayBalance * 2) ::_exit(2);
    }
    ::_exit(0);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
  }
  savePortfolioWidget(12345.678, 0);
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{12345.678, 0}));
  auto data = suite().data(kPortfolioWidgetKey);
  EXPECT_EQ(std::string(data->begin(), data->end()),
            R"({"todayBalance":12345.678,"yesterdayBalance":0})");
  savePortfolioWidget(NAN, 1);  // logged; the stored snapshot stays
  EXPECT_EQ(loadPortfolioWidget(), (PortfolioWidget{12345.678, 0}));
  EXPECT_EQ(out.finish(),
            "\"Unable to Encode Configs (invalidValue(Double.nan, codingPath: "
            "[\\\"todayBalance\\\"], Unable to encode Double.nan directly in JSON.))\"\n");
}

TEST(SnapshotStoreTest, StoredValuesThatAreNotASnapshotLoadAsNone) {
  ScopedHome home;
  const std::string bad = R"({"todayBalance":"12"})";
  ASSERT_OK(suite().set(kPortfolioWidgetKey, UserDefaults::Data(bad.begin(), bad.end())));
  CapturedStdout out;
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  EXPECT_EQ(suite().data(kPortfolioWidgetKey), UserDefaults::Data(bad.begin(), bad.end()));
  ASSERT_OK(suite().set(kPortfolioWidgetKey, R"({"todayBalance":1})"));  // text, not data
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  EXPECT_EQ(out.finish(),
            "\"Unable to Decode Configs (typeMismatch(Double, codingPath: [\\\"todayBalance\\\"], "
            "Expected to decode Double but found a string instead.))\"\n");
}

TEST(SnapshotStoreTest, NoContainerMeansNothingStoredOrLoaded) {
  quorvel::testing::TempDir dir;
  quorvel::testing::writeFileBytes(dir.path() / "file", "x");
  quorvel::testing::ScopedEnv env("QUORVEL_HOME", (dir.path() / "file").string());
  CapturedStdout out;
  savePortfolioWidget(1, 2);
  EXPECT_EQ(loadPortfolioWidget(), std::nullopt);
  EXPECT_EQ(out.finish(), "");
  EXPECT_EQ(std::filesystem::directory_iterator(dir.path())->path().filename(), "file");
}

}  // namespace
}  // namespace quorvel
