#include "store/portfolio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using platform::foundation::Status;

TEST(PortfolioWidgetJsonTest, WritesCompactMembersInOrder) {
  auto json = encodeJSON(PortfolioWidget{12345.678, 12000});
  ASSERT_OK(json.status);
  EXPECT_EQ(*json.value, R"({"todayBalance":12345.678,"yesterdayBalance":12000})");
  EXPECT_EQ(*encodeJSON(PortfolioWidget{0, -0.0}).value,
            R"({"todayBalance":0,"yesterdayBalance":-0})");
  EXPECT_EQ(*encodeJSON(Portfolio{"btc\"usdt", 0.5, 31000, -500}).value,
            R"({"symbol":"btc\"usdt","amount":0.5,"price":31000,"priceChange":-500})");
}

TEST(PortfolioWidgetJsonTest, NumbersReadBackToTheSameDouble) {
  // The last three: plain digits would be their shortest form, which the
  // reader refuses past 64 bits.
  const double values[] = {
      0.1 + 0.2,
      1e-300,
      5e-324,
      1.7976931348623157e308,
      -123456789.123456789,
      1e21,
      69010.01 * 0.123456789,
      4.3092233720368549e+20,
      12345678901234567890.0,
      9223372036854775808.0,
  };
  for (double today : values) {
    auto json = encodeJSON(PortfolioWidget{today, -today});
    ASSERT_OK(json.status);
    auto back = decodePortfolioWidget(*json.value);
    ASSERT_OK(back.status) << *json.value;
    EXPECT_EQ(back.value->todayBalance, today) << *json.value;
    EXPECT_EQ(back.value->yesterdayBalance, -today) << *json.value;
  }
}

TEST(PortfolioWidgetJsonTest, NonFiniteValuesCannotBeWritten) {
  const double bad[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity()};
  for (double value : bad) {
    auto today = encodeJSON(PortfolioWidget{value, 1});
    EXPECT_FALSE(today.ok());
    EXPECT_FALSE(today.value.has_value());
    EXPECT_NE(today.status.localizedDescription().find("todayBalance"), std::string::npos);
    EXPECT_FALSE(encodeJSON(PortfolioWidget{1, value}).ok());
    EXPECT_FALSE(encodeJSON(Portfolio{"x", 1, value, 0}).ok());
  }
}

TEST(PortfolioWidgetJsonTest, ReadingIsLenientOnlyAboutAbsence) {
  struct Row {
    const char* json;
    std::optional<PortfolioWidget> expected;
  };
  const Row rows[] = {
      {R"({"todayBalance":1.5,"yesterdayBalance":2})", PortfolioWidget{1.5, 2}},
      {R"({"yesterdayBalance":2,"todayBalance":1.5})", PortfolioWidget{1.5, 2}},
      {R"({"yesterdayBalance":7})", PortfolioWidget{0, 7}},
      {R"({"todayBalance":null,"yesterdayBalance":2})", PortfolioWidget{0, 2}},
      {R"({})", PortfolioWidget{0, 0}},
      {R"({"todayBalance":3,"other":"x","nested":{"todayBalance":9}})", PortfolioWidget{3, 0}},
      {R"({"todayBalance":1e2,"yesterdayBalance":-0.5E-1})", PortfolioWidget{100, -0.05}},
      {R"( {"todayBalance" : 18446744073709551615} )", PortfolioWidget{18446744073709551615.0, 0}},
      {R"({"todayBalance":"12"})", std::nullopt},
      {R"({"todayBalance":true})", std::nullopt},
      {R"({"todayBalance":[1]})", std::nullopt},
      {R"({"todayBalance":{}})", std::nullopt},
      {R"({"todayBalance":1,"yesterdayBalance":"2"})", std::nullopt},
      {R"([{"todayBalance":1}])", std::nullopt},
      {R"("text")", std::nullopt},
      {"42", std::nullopt},
      {"null", std::nullopt},
      {"", std::nullopt},
      {"{", std::nullopt},
      {"not json", std::nullopt},
  };
  for (const Row& row : rows) {
    auto result = decodePortfolioWidget(row.json);
    if (row.expected) {
      ASSERT_OK(result.status);
      EXPECT_EQ(*result.value, *row.expected) << row.json;
    } else {
      EXPECT_FALSE(result.ok()) << row.json;
      EXPECT_FALSE(result.status.localizedDescription().empty()) << row.json;
    }
  }
}

TEST(PortfolioJsonTest, DefaultsAndTypeErrors) {
  auto empty = decodePortfolio("{}");
  ASSERT_OK(empty.status);
  EXPECT_EQ(*empty.value, (Portfolio{"", 0, 0, 0}));
  EXPECT_FALSE(decodePortfolio(R"({"symbol":5})").ok());
  auto full = decodePortfolio(R"({"symbol":"ethusdt","amount":2,"price":10,"priceChange":1.5})");
  EXPECT_EQ(*full.value, (Portfolio{"ethusdt", 2, 10, 1.5}));
}

// The JSON parsing test suite run through the snapshot decoder: bytes that
// are not JSON must be refused without a crash, and valid JSON that is not
// a snapshot object is refused too.
TEST(PortfolioWidgetJsonTest, JsonTestSuiteNeverCrashesTheDecoder) {
  const auto dir = quorvel::testing::fixturePath("json-test-suite/test_parsing");
  int rejectedN = 0, totalN = 0, acceptedY = 0, totalY = 0, acceptedI = 0, totalI = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    const std::string bytes = quorvel::testing::readFileBytes(entry.path());
    auto result = decodePortfolioWidget(bytes);
    switch (name[0]) {
      case 'n':
        ++totalN;
        EXPECT_FALSE(result.ok()) << name << " was accepted";
        if (!result.ok()) ++rejectedN;
        break;
      case 'y':
        ++totalY;
        if (result.ok()) ++acceptedY;
        break;
      case 'i':
        ++totalI;
        if (result.ok()) ++acceptedI;
        break;
    }
  }
  EXPECT_EQ(totalN, 188);
  EXPECT_EQ(rejectedN, totalN);
  // Valid documents decode only when they are an object without members of
  // the wrong type; report how they fared.
  std::printf(
      "json-test-suite: n_ %d/%d refused; y_ %d/%d decoded as a snapshot; i_ %d/%d decoded\n",
      rejectedN, totalN, acceptedY, totalY, acceptedI, totalI);
}

}  // namespace
}  // namespace quorvel
