// QuorvelNotificationsExtension --show on a private session bus, where a
// notification server of the test's own records what it is asked to show.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/process.h"
#include "tests/support/raw_server.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::runProcess;

TEST(DesktopTest, ShownNotificationsCarryTheirContentOrSayWhyNot) {
  const fs::path script = testing::fixturePath("../support/notification_server.py");
  if (!fs::exists("/usr/bin/dbus-daemon") ||
      std::system("/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null") != 0) {
    GTEST_SKIP() << "needs dbus-daemon and python3-dbus (scripts/install-deps installs them)";
  }
  testing::ScopedHome home;
  const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + "pixels";
  testing::RawServer images(
      {testing::responseHead("200 OK", {"Content-Type: image/png", "Content-Length: 22"}) + png});
  nlohmann::json payload = nlohmann::json::parse(testing::fixture("payloads/ordinary.json"));
  payload["fcm_options"]["image"] = images.baseURL() + "/i.png";
  testing::writeFileBytes(home.path() / "payload.json", payload.dump());
  const std::vector<std::string> show{"--show", "--payload", (home.path() / "payload.json")};

  const fs::path bus = home.path() / "bus", record = home.path() / "shown";
  testing::Process daemon("/usr/bin/dbus-daemon", {"--session", "--nofork", "--nopidfile",
                                                   "--address=unix:path=" + bus.string()});
  ASSERT_TRUE(testing::waitUntil([&] { return fs::exists(bus); }));
  testing::ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus.string());
  const struct {
    std::vector<std::string> server;  // arguments of the server, none for no session bus
    std::string err;                  // a part of standard error
  } rows[] = {
      {{record.string()}, ""},
      {{(home.path() / "refusing").string(), "--refuse"}, "refused by the test"},
      {{}, "not shown on the desktop: "},
  };
  for (const auto& row : rows) {
    std::optional<testing::Process> server;
    testing::ScopedEnv noBus(
        "DBUS_SESSION_BUS_ADDRESS",
        "unix:path=" + (row.server.empty() ? home.path() / "none" : bus).string());
    if (!row.server.empty()) {
      server.emplace(script.string(), row.server);
      ASSERT_TRUE(testing::waitUntil([&] { return fs::exists(row.server[0]); }));
    }
    const auto result = runProcess("QuorvelNotificationsExtension", show);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(R"("title":"BTC is up")"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(row.err), std::string::npos) << result.err;
    EXPECT_EQ(row.err.empty(), result.err.find("not shown") == std::string::npos) << result.err;
  }
  const auto shown = nlohmann::json::parse(testing::readFileBytes(record));
  EXPECT_EQ(shown["app"], "Quorvel");
  EXPECT_EQ(shown["summary"], "BTC is up");
  EXPECT_EQ(shown["body"], "Portfolio\nBitcoin rose 5.2% in the last 24 hours.");
  EXPECT_EQ(shown["hints"]["category"], "price-alert");
  EXPECT_TRUE(fs::exists(shown["hints"]["image-path"].get<std::string>())) << shown.dump();
}

}  // namespace
}  // namespace quorvel
