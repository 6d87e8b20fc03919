// End-to-end tests of QuorvelWidgetsExtension and quorvel-host: the built
// executables run as processes in a fresh home, with the exchange's answer
// read from a file:// recording.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "tests/support/process.h"

namespace quorvel {
namespace {

using json = nlohmann::ordered_json;
using testing::runProcess;
using testing::words;

struct Row {
  std::string command;  // the program's name, then its arguments
  int exit;
  std::string out = "";  // the whole standard output, or "*" for anything
  std::string err = "";  // a part of standard error
};

class WidgetsEndToEndTest : public ::testing::Test {
 protected:
  void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      auto args = words(row.command);
      const std::string program = args[0] == "host" ? "quorvel-host" : "QuorvelWidgetsExtension";
      const auto result = runProcess(program, {args.begin() + 1, args.end()});
      EXPECT_EQ(result.exitCode, row.exit) << row.command << "\n" << result.err;
      if (row.out != "*") EXPECT_EQ(result.out, row.out) << row.command;
      EXPECT_NE(result.err.find(row.err), std::string::npos) << row.command << "\n" << result.err;
    }
  }
  json request(const std::string& line) {
    const auto result = runProcess("QuorvelWidgetsExtension", words(line + " --json -"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    out_ = result.out;
    return json::parse(testing::lastLine(result.out), nullptr, false);
  }
  std::string file(const std::string& name, const std::string& text = "") {
    if (!text.empty()) testing::writeFileBytes(home_.path() / name, text);
    return (home_.path() / name).string();
  }

  testing::ScopedHome home_;
  std::string out_;
};

TEST_F(WidgetsEndToEndTest, ExtensionCommandLines) {
  const std::string widget = R"("families":["system{}"],"displayName":"Portfolio","description":)"
                             R"("Keep an eye on your portfolio's value and its 24-hour change."}})";
  const std::string unwritable = file("missing/out");
  expectRows({
      {"x describe", 0,
       R"({"widgets":[{"kind":"QuorvelSmallWidget",)" + fmt::format(fmt::runtime(widget), "Small") +
           R"(,{"kind":"QuorvelMediumWidget",)" + fmt::format(fmt::runtime(widget), "Medium") +
           "]}\n"},
      {"x --help", 0, "", "describe"},
      {"x", 2, "", "A subcommand is required"},
      {"x frobnicate", 2},
      {"x timeline", 2, "", "--kind is required"},
      {"x timeline --kind Nope", 2, "",
       R"(no widget of kind "Nope" (known: QuorvelSmallWidget, QuorvelMediumWidget))"},
      {"x snapshot --kind QuorvelSmallWidget --scale 3.5", 2, "", "--scale"},
      {"x snapshot --kind QuorvelSmallWidget --scale 0.9", 2, "", "--scale"},
      {"x placeholder --kind QuorvelSmallWidget --appearance dim", 2, "", "--appearance"},
      {"x placeholder --kind QuorvelSmallWidget --deadline 0", 2, "", "--deadline"},
      {"x placeholder --kind QuorvelSmallWidget --deadline 86401", 2, "", "--deadline"},
      {"x placeholder --kind QuorvelSmallWidget --json " + unwritable, 1, "", unwritable},
      {"x placeholder --kind QuorvelSmallWidget --svg " + unwritable, 1, "", unwritable},
  });
}

// The width and height of a PNG, from its header.
std::pair<int, int> pngSize(const std::string& png) {
  auto at = [&](size_t i) {
    return static_cast<unsigned char>(png.at(i)) << 8 | (png.at(i + 1) & 0xff);
  };
  EXPECT_EQ(png.substr(1, 3), "PNG");
  return {at(18), at(22)};
}

TEST_F(WidgetsEndToEndTest, ResponsesAndDrawings) {
  const std::pair<std::string, std::pair<int, int>> rows[] = {
      {"placeholder --kind QuorvelSmallWidget --scale 1", {170, 170}},
      {"snapshot --kind QuorvelMediumWidget --scale 2", {728, 340}},
      {"snapshot --kind QuorvelMediumWidget --appearance dark", {1092, 510}},
  };
  std::set<std::string> drawings;
  for (const auto& [line, size] : rows) {
    const auto args = words(line);
    const auto result =
        runProcess("QuorvelWidgetsExtension", words(line + " --json " + file("r.json") + " --png " +
                                                    file("r.png") + " --svg " + file("r.svg")));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const json response = json::parse(testing::readFileBytes(file("r.json")));
    EXPECT_EQ(response.dump().substr(0, response.dump().find("\"system")),
              fmt::format(R"({{"request":"{}","kind":"{}","family":)", args[0], args[2]));
    EXPECT_TRUE(response["policy"].is_null());
    ASSERT_EQ(response["entries"].size(), 1u);
    EXPECT_EQ(response["entries"][0].begin().value().get<std::string>().size(), 24u);  // the date
    EXPECT_TRUE(response["entries"][0]["portfolio"].is_null());
    EXPECT_EQ(pngSize(testing::readFileBytes(file("r.png"))), size);
    EXPECT_NE(testing::readFileBytes(file("r.svg")).find("<svg"), std::string::npos);
    drawings.insert(testing::readFileBytes(file("r.png")));
  }
  EXPECT_EQ(drawings.size(), 3u);
}

TEST_F(WidgetsEndToEndTest, HostCommandLines) {
  const std::string list = "btcusdt BTC 0.25\nethbtc ETH 1e-08\nX1USDC XONE 3\nBNB BNB 4\n";
  expectRows({
      {"host holdings list", 0},
      {"host snapshot show", 0, "no snapshot\n"},
      {"host theme show", 0, "system\n"},
      {"host --help", 0, "*"},
      {"host", 2},
      {"host holdings", 2},
      {"host holdings add btcusdt 0.25", 0},
      {"host holdings add SOLUSDT 15 --price 98.5 --change -7", 0},
      {"host holdings add ethbtc 1e-8", 0},
      {"host holdings add X1USDC 3 --base xone", 0},
      {"host holdings add BNB 4", 0},
      {"host holdings add SOLBUSD 16", 0},
      {"host holdings list", 0,
       "btcusdt BTC 0.25\nSOLBUSD SOL 16\nethbtc ETH 1e-08\nX1USDC XONE 3\nBNB BNB 4\n"},
      {"host holdings add BTCUSDT abc", 2, "", R"(amount "abc" is not a finite number)"},
      {"host holdings add BTCUSDT -1", 2, "", "amount"},
      {"host holdings add BTCUSDT 1e999", 2, "", "amount"},
      {"host holdings add BTCUSDT nan", 2, "", "amount"},
      {"host holdings add BTCUSDT ''", 2, "", "amount"},
      {"host holdings add BTC-USDT 1", 2, "", "may hold only letters and digits"},
      {"host holdings add '' 1", 2, "", "symbol is empty"},
      {"host holdings add USDTUSDT 1 --base U$", 2, "", "base asset"},
      {"host holdings add BTCUSDT 1 --price 1,5", 2, "", R"(price "1,5")"},
      {"host holdings add BTCUSDT 1 --change x", 2, "", R"(change "x")"},
      {"host holdings remove sol", 0},
      {"host holdings remove SOL", 1, "", "no holding of SOL"},
      {"host holdings import " + file("a", R"([{"symbol":"ADAUSDT","amount":5},
          {"symbol":"DOTUSDT","amount":0,"base":"dot"}])"),
       0, "", "imported 2 holding(s)"},
      {"host holdings import " + file("b", "["), 2, "", "is not JSON"},
      {"host holdings import " + file("c", "{}"), 2, "", "must hold a JSON array"},
      {"host holdings import " + file("d", R"([{"symbol":"AUSDT","amount":1},2])"), 2, "",
       "element 1 of " + file("d") + ": is not an object"},
      {"host holdings import " + file("e", R"([{"amount":1}])"), 2, "", "needs a string"},
      {"host holdings import " + file("f", R"([{"symbol":"A","amount":"1"}])"), 2, "", "number"},
      {"host holdings import " + file("g", R"([{"symbol":"A","amount":-1}])"), 2, "", "at least"},
      {"host holdings import " + file("h", R"([{"symbol":"A","amount":1,"base":1}])"), 2, "",
       R"("base" must be a string)"},
      {"host holdings import " + file("none"), 2, "", "cannot read"},
      {"host holdings list", 0, list + "ADAUSDT ADA 5\nDOTUSDT DOT 0\n"},
      {"host theme set dark", 0},
      {"host theme show", 0, "dark\n"},
      {"host theme set blue", 2},
      {"host theme set light", 0},
      {"host theme show", 0, "light\n"},
  });
}

TEST_F(WidgetsEndToEndTest, RefreshValuesHoldingsAndStoresTheSnapshot) {
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", testing::recordedExchange(home_.path()));
  // No holdings: nothing to show, nothing stored, and no reload until asked.
  EXPECT_EQ(request("timeline --kind QuorvelMediumWidget")["policy"], "never");
  EXPECT_EQ(runProcess("quorvel-host", {"snapshot", "show"}).out, "no snapshot\n");
  for (const char* holding : {"btcusdt 0.25", "ETHUSDT 2", "NOSUCHUSDT 9"}) {
    ASSERT_EQ(runProcess("quorvel-host", words(std::string("holdings add ") + holding)).exitCode,
              0);
  }
  EXPECT_TRUE(request("snapshot --kind QuorvelSmallWidget")["entries"][0]["portfolio"].is_null());
  const json response = request("timeline --kind QuorvelMediumWidget");
  EXPECT_EQ(out_.substr(0, out_.find('\n')),
            "\"" + testing::recordedExchange(home_.path()) + "/api/v3/ticker/24hr\"");
  EXPECT_EQ(response["policy"], "atEnd");
  const json portfolio = {
      {"todayBalance", 0.0 + 0.25 * 43714.03 + 2 * 2238.28},
      {"yesterdayBalance", 0.0 + 0.25 * (43714.03 + 529.9) + 2 * (2238.28 + 41.25)}};
  EXPECT_EQ(response["entries"][0]["portfolio"], portfolio);
  EXPECT_EQ(request("snapshot --kind QuorvelSmallWidget")["entries"][0]["portfolio"], portfolio);
  EXPECT_EQ(json::parse(runProcess("quorvel-host", {"snapshot", "show"}).out), portfolio);
}

TEST_F(WidgetsEndToEndTest, ThemeSetByTheHostColoursTheView) {
  const std::string dark = R"({"blue":0.0,"green":0.0,"opacity":1.0,"red":0.0})";
  const std::string light = R"({"blue":1.0,"green":1.0,"opacity":1.0,"red":1.0})";
  const std::string dynamic = R"({"dynamic":{"dark":)" + dark + R"(,"light":)" + light + "}}";
  for (const auto& [theme, colour] :
       {std::pair{"", dynamic}, {"dark", dark}, {"light", light}, {"system", dynamic}}) {
    if (*theme) ASSERT_EQ(runProcess("quorvel-host", {"theme", "set", theme}).exitCode, 0);
    const json view = request("placeholder --kind QuorvelMediumWidget")["entries"][0]["view"];
    json background;
    for (const json& modifier : view["modifiers"]) {
      if (modifier["type"] == "background") background = modifier["color"];
    }
    EXPECT_EQ(background.dump(), colour) << theme;
  }
}

}  // namespace
}  // namespace quorvel
