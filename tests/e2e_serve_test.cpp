// `QuorvelWidgetsExtension serve` in a fresh home against the recorded
// exchange: the app's writes reload the widgets, the policies hold, the page
// follows in a real browser, and SIGTERM leaves whole drawings behind.
#include <httplib.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/support/loopback_server.h"
#include "tests/support/process.h"

namespace quorvel {
namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

const std::string kPictures[] = {"QuorvelSmallWidget-light", "QuorvelSmallWidget-dark",
                                 "QuorvelMediumWidget-light", "QuorvelMediumWidget-dark"};

int freePort() {
  testing::LoopbackServer probe;
  probe.start();
  return probe.port();
}

class ServeTest : public ::testing::Test {
 protected:
  void SetUp() override { port_ = freePort(); }
  testing::Process serve(const std::string& line) {
    return testing::Process("QuorvelWidgetsExtension",
                            testing::words("serve --port " + std::to_string(port_) + " " + line));
  }
  void host(const std::string& line) {
    EXPECT_EQ(testing::runProcess("quorvel-host", testing::words(line)).exitCode, 0) << line;
  }
  json entries() {
    const auto answer = httplib::Client("127.0.0.1", port_).Get("/entries");
    return answer && answer->status == 200 ? json::parse(answer->body, nullptr, false) : json();
  }
  // The entries' dates, once both widgets have answered a timeline.
  std::vector<std::string> dates() {
    const json now = entries();
    std::vector<std::string> out;
    for (const auto& response : now.is_array() ? now : json::array())
      if (response["request"] == "timeline") out.push_back(response["entries"][0]["date"]);
    return out.size() == 2 ? out : std::vector<std::string>{};
  }
  // Waits until every widget has an entry dated otherwise than in `before`.
  std::vector<std::string> renewed(const std::vector<std::string>& before) {
    std::vector<std::string> after;
    EXPECT_TRUE(testing::waitUntil([&] {
      after = dates();
      return !after.empty() && (before.empty() || (after[0] != before[0] && after[1] != before[1]));
    }));
    return after;
  }
  // What the one-shot request draws for "<kind>-<appearance>".
  std::string drawing(const std::string& name) {
    const auto dash = name.find('-');
    testing::runProcess(
        "QuorvelWidgetsExtension",
        testing::words("snapshot --scale 2 --kind " + name.substr(0, dash) + " --appearance " +
                       name.substr(dash + 1) + " --png " + (home_.path() / "drawn.png").string()));
    return testing::readFileBytes(home_.path() / "drawn.png");
  }

  testing::ScopedHome home_;
  testing::ScopedEnv exchange_{"QUORVEL_API_BASE_URL", testing::recordedExchange(home_.path())};
  int port_ = 0;
};

TEST_F(ServeTest, ReloadsByPolicyAndWhenTheAppWrites) {
  const fs::path pngs = home_.path() / "png";
  auto process = serve("--interval 3 --png-dir " + pngs.string());
  auto seen = renewed({});
  EXPECT_EQ(entries()[0]["policy"], "never");  // no holdings: only the app asks again
  const fs::path watched =
      home_.path() / "Containers/com.tavrin.quorvel.widgets/Library/Preferences";
  EXPECT_EQ(fs::status(watched).permissions(), fs::perms::owner_all);  // made to be watched
  // Each app write: a new entry, priced like the one-shot request, no more
  // until the interval passes (the widgets' own snapshot is not the app's).
  for (const std::string write :
       {"holdings add btcusdt 0.5", "theme set system", "holdings add ethusdt 2"}) {
    host(write);
    seen = renewed(seen);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(dates(), seen) << write;
    json served = entries();
    // The stored snapshot draws like the served timeline's entry.
    const auto oneShot = testing::runProcess(
        "QuorvelWidgetsExtension", testing::words("snapshot --kind QuorvelMediumWidget --json -"));
    json expected = json::parse(testing::lastLine(oneShot.out));
    expected["request"] = "timeline";
    expected["policy"] = "atEnd";
    for (json* response : {&served[1], &expected}) (*response)["entries"][0].erase("date");
    EXPECT_EQ(served[1], expected) << write;
  }
  seen = renewed(seen);  // atEnd, once the interval has passed
  // An exchange that fails: an entry without balances, then a retry by the
  // policy once the interval has passed.
  const fs::path body = home_.path() / "exchange/api/v3/ticker/24hr";
  const std::string recorded = testing::readFileBytes(body);
  testing::writeFileBytes(body, "<html/>");
  EXPECT_EQ(httplib::Client("127.0.0.1", port_).Post("/reload", "", "text/plain")->status, 202);
  seen = renewed(seen);
  EXPECT_TRUE(entries()[1]["entries"][0]["portfolio"].is_null()) << entries();
  testing::writeFileBytes(body, recorded);
  renewed(seen);
  EXPECT_FALSE(entries()[1]["entries"][0]["portfolio"].is_null()) << entries();
  // A page of another site that reaches the port by a name of its own.
  EXPECT_EQ(httplib::Client("127.0.0.1", port_).Get("/entries", {{"Host", "x.example"}})->status,
            421);
  // A page still listening for events sees the stream end whole.
  std::atomic<bool> listening{false}, ended{false};
  std::thread page([&] {
    ended = httplib::Client("127.0.0.1", port_)
                .Get("/events", [&](const char*, size_t) { return listening = true; })
                .error() == httplib::Error::Success;
  });
  EXPECT_TRUE(testing::waitUntil([&] { return listening.load(); }));
  process.terminate();
  const auto result = process.wait();
  page.join();
  EXPECT_TRUE(ended);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  // Whole drawings only, each as the one-shot request draws the entry.
  for (const std::string& name : kPictures)
    EXPECT_EQ(testing::readFileBytes(pngs / (name + ".png")), drawing(name)) << name;
}

// Without --png-dir a picture is drawn when first asked for, then kept.
TEST_F(ServeTest, DrawsWhatIsAskedFor) {
  auto process = serve("--interval 600");
  const auto seen = renewed({});
  const auto served = [&](const std::string& name) {
    const auto answer = httplib::Client("127.0.0.1", port_).Get("/widgets/" + name + ".png");
    return answer->status == 200 ? answer->body : "";
  };
  for (const std::string& name : kPictures) EXPECT_EQ(served(name), drawing(name)) << name;
  host("theme set dark");  // the widgets' own suite is watched, and read
  renewed(seen);
  EXPECT_EQ(served(kPictures[0]), drawing(kPictures[0]));
}

TEST_F(ServeTest, CommandLine) {
  testing::LoopbackServer busy;
  busy.start();
  const std::pair<std::string, std::pair<int, std::string>> rows[] = {
      {"--help", {0, "Usage: QuorvelWidgetsExtension serve [OPTIONS]"}},
      {"--help", {0, "widget (default 900)"}},
      {"--interval 0", {2, "--interval"}},
      {"--interval nan", {2, "must be finite"}},
      {"--scale nan", {2, "must be finite"}},
      {"--appearance dim", {2, "--appearance"}},
      {"--port 70000", {2, "--port"}},
      {"--port " + std::to_string(busy.port()), {1, "cannot listen on 127.0.0.1:"}},
  };
  for (const auto& [line, expected] : rows) {
    const auto result =
        testing::runProcess("QuorvelWidgetsExtension", testing::words("serve " + line));
    EXPECT_EQ(result.exitCode, expected.first) << line;
    // Help goes to standard output, what failed to standard error.
    EXPECT_NE((expected.first ? result.err : result.out).find(expected.second), std::string::npos)
        << line << "\n"
        << result.err;
  }
  // A home whose folders cannot be watched: the host would never see the app's writes.
  testing::TempDir blocked;
  testing::writeFileBytes(blocked.path() / "Containers", "");
  const auto result =
      testing::runProcess("QuorvelWidgetsExtension", testing::words("serve --port 0"),
                          {.prefix = {"env", "QUORVEL_HOME=" + blocked.path().string()}});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find(": cannot watch "), std::string::npos) << result.err;
  // Without --port the system picks a free one, and the host says which.
  const auto any = testing::runProcess("QuorvelWidgetsExtension", {"serve"},
                                       {.prefix = testing::words("timeout --preserve-status 2")});
  EXPECT_EQ(any.exitCode, 0) << any.err;
  EXPECT_GE(std::stoi(any.err.substr(any.err.find("127.0.0.1:") + 10)), 1024) << any.err;
}

// Drives Debian's chromium through chromedriver (WebDriver over HTTP).
class Browser {
 public:
  explicit Browser(const fs::path& profile) : driver_("127.0.0.1", port_) {
    const json flags = testing::words(
        "--headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-sync "
        "--disable-background-networking --disable-component-update --user-data-dir=" +
        profile.string());
    const json options = {{"binary", "/usr/bin/chromium"}, {"args", flags}};
    testing::waitUntil([&] {
      const json reply = call(
          "POST", "", {{"capabilities", {{"alwaysMatch", {{"goog:chromeOptions", options}}}}}});
      session_ = reply.is_object() ? reply.value("sessionId", "") : "";
      return !session_.empty();
    });
  }
  ~Browser() { call("DELETE", ""); }
  json call(const std::string& method, const std::string& path, const json& body = json::object()) {
    const std::string at = "/session" + (session_.empty() ? "" : "/" + session_) + path;
    const auto answer = method == "POST"  ? driver_.Post(at, body.dump(), "application/json")
                        : method == "GET" ? driver_.Get(at)
                                          : driver_.Delete(at);
    const json reply = answer ? json::parse(answer->body, nullptr, false) : json();
    return reply.is_object() && reply.contains("value") ? reply["value"] : json();
  }
  json script(const std::string& code) {
    return call("POST", "/execute/sync", {{"script", code}, {"args", json::array()}});
  }

 private:
  int port_ = freePort();
  testing::Process chromedriver_{"/usr/bin/chromedriver", {"--port=" + std::to_string(port_)}};
  httplib::Client driver_;
  std::string session_;
};

TEST_F(ServeTest, PageFollowsEntriesInABrowser) {
  if (!fs::exists("/usr/bin/chromium") || !fs::exists("/usr/bin/chromedriver"))
    GTEST_SKIP() << "chromium and chromedriver are not installed";
  auto process = serve("--interval 600 --appearance dark");
  const auto seen = renewed({});
  testing::TempDir profile;
  Browser browser(profile.path());
  browser.call("POST", "/url", {{"url", "http://127.0.0.1:" + std::to_string(port_) + "/"}});
  const std::string version =
      "return document.getElementById('QuorvelSmallWidget').dataset.version";
  const std::string drawn =
      "return [...document.images].map(i => i.complete && i.naturalWidth + 'x' + i.width).join()";
  json before;
  EXPECT_TRUE(testing::waitUntil([&] { return (before = browser.script(version)).is_string(); }));
  EXPECT_TRUE(testing::waitUntil([&] { return browser.script(drawn) == "340x170,728x364"; }));
  EXPECT_EQ(browser.script("return document.body.className"), "dark");
  host("holdings add btcusdt 0.5");
  renewed(seen);
  EXPECT_TRUE(testing::waitUntil([&] { return browser.script(version) != before; }));  // by SSE
  const json button = browser.call(
      "POST", "/element", {{"using", "css selector"}, {"value", "#QuorvelMediumWidget button"}});
  browser.call("POST", "/element/" + button.begin().value().get<std::string>() + "/click",
               json::object());
  EXPECT_EQ(browser.script("return document.getElementById('link').textContent"),
            "Opens quorvel-widget-portfolio://");
  // The texts of the entry shown now, and only those, for screen readers.
  EXPECT_EQ(browser.script("return document.querySelector('#QuorvelSmallWidget img').alt")
                .get<std::string>()
                .rfind("Current Balance, $21,857.0", 0),
            0);  // The README's picture of the page: QUORVEL_UPDATE_DUMPS=1 takes it anew.
  if (const char* update = std::getenv("QUORVEL_UPDATE_DUMPS"); update && *update == '1') {
    testing::writeFileBytes(profile.path() / "page.base64",
                            browser.call("GET", "/screenshot", {}).get<std::string>());
    const auto picture = testing::fixturePath("../../docs/images/serve-page.png");
    EXPECT_EQ(std::system(("base64 -d " + (profile.path() / "page.base64").string() + " > " +
                           picture.string())
                              .c_str()),
              0);
  }
}

}  // namespace
}  // namespace quorvel
