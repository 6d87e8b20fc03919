// What the three programs share, through the built executables: help on
// standard output, the version, one error format, the appearance that
// follows the desktop, and the renderer found beside the program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ranges>
#include <regex>

#include "tests/support/process.h"

namespace quorvel {
namespace {

using testing::runProcess;
using testing::words;

constexpr char kWidgets[] = "QuorvelWidgetsExtension";
constexpr char kNotifications[] = "QuorvelNotificationsExtension";
constexpr char kHost[] = "quorvel-host";

TEST(CommandLinesEndToEndTest, HelpVersionAndErrors) {
  const std::string usage = "\nRun '% --help' for the usage.\n";
  const struct {
    const char* program;
    std::string args;
    int exit;
    std::string out;       // parts of standard output, in order, between '^'
    std::string err = "";  // all of standard error; '%' stands for the program
  } rows[] = {
      {kWidgets, "--help", 0,
       "Usage: QuorvelWidgetsExtension [OPTIONS] SUBCOMMAND^describe^placeholder^snapshot^"
       "timeline^QuorvelSmallWidget^QuorvelMediumWidget^with --json - they come first and the JSON "
       "is the last line^--json small.json^QUORVEL_HOME^XDG_DATA_HOME^QUORVEL_API_BASE_URL^Exit "
       "status: 0 answered"},
      {kWidgets, "timeline --help", 0,
       "Usage: QuorvelWidgetsExtension timeline [OPTIONS]^--appearance^system^--json FILE|-"},
      {kNotifications, "--help", 0,
       "Usage: QuorvelNotificationsExtension [OPTIONS]^--payload FILE|-^\"system\"^the last 20 "
       "notifications^QuorvelNotificationsExtension --payload push.json^QUORVEL_HOME^XDG_DATA_HOME^"
       "Exit status: 0 delivered"},
      {kHost, "--help", 0,
       "Usage: quorvel-host [OPTIONS] SUBCOMMAND^import FILE|-^refresh-prices^QUORVEL_HOME^"
       "XDG_DATA_HOME^QUORVEL_API_BASE_URL^Exit status: 0 done; 1 store"},
      {kHost, "snapshot show --help", 0, "Usage: quorvel-host snapshot show [OPTIONS]^--json"},
      {kWidgets, "timeline --kind Nope", 2, "",
       "%: bad --kind: no widget of kind \"Nope\" (known: QuorvelSmallWidget, "
       "QuorvelMediumWidget)" +
           usage},
      {kWidgets, "snapshot --kind QuorvelSmallWidget --deadline nan", 2, "",
       "%: bad command line: --scale and --deadline must be finite numbers" + usage},
      {kNotifications, "--time-limit soon", 2, "",
       "%: bad command line: Could not convert: --time-limit = soon" + usage},
      {kHost, "holdings add BTCUSDT", 2, "", "%: bad command line: AMOUNT is required" + usage},
      {kHost, "theme show set dark", 2, "",
       "%: bad command line: The following arguments were not expected: dark set" + usage},
      {kWidgets, "describe placeholder", 2, "",
       "%: bad command line: The following argument was not expected: placeholder" + usage},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.program) + " " + row.args);
    const auto result = runProcess(row.program, words(row.args));
    EXPECT_EQ(result.exitCode, row.exit);
    std::size_t at = 0;
    for (const auto& range : std::views::split(row.out, '^')) {
      const std::string part(range.begin(), range.end());
      at = result.out.find(part, at);
      ASSERT_NE(at, std::string::npos) << part << "\n" << result.out;
    }
    EXPECT_EQ(result.err, std::regex_replace(row.err, std::regex("%"), row.program));
  }
  for (const char* program : {kWidgets, kNotifications, kHost}) {
    const auto version = runProcess(program, {"--version"});
    EXPECT_TRUE(std::regex_match(version.out, std::regex("[0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << program << ": " << version.out << version.exitCode;
  }
}

// --appearance system (the default) draws as the desktop prefers: GTK_THEME
// first, else the settings portal (asked here of a stand-in gdbus).
TEST(CommandLinesEndToEndTest, SystemAppearanceFollowsTheDesktop) {
  testing::ScopedHome home;
  const auto draw = [&](const std::string& appearance) {
    const std::string png = (home.path() / "out.png").string();
    EXPECT_EQ(runProcess(kWidgets,
                         words("placeholder --kind QuorvelMediumWidget --png " + png + appearance))
                  .exitCode,
              0);
    return testing::readFileBytes(png);
  };
  const std::string light = draw(" --appearance light"), dark = draw(" --appearance dark");
  ASSERT_NE(light, dark);
  const auto gdbus = home.path() / "bin/gdbus";
  testing::ScopedEnv path("PATH", gdbus.parent_path().string() + ":/usr/bin:/bin");
  testing::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.path().string());
  const std::tuple<std::string, std::string, std::string, bool> rows[] = {
      // GTK_THEME, the portal's color-scheme, the option -> drawn dark
      {"", "1", "", true},
      {"", "2", " --appearance system", false},
      {"", "1", " --appearance light", false},
      {"Adwaita:dark", "2", "", true},
      {"Adwaita", "1", "", false},
  };
  for (const auto& [theme, scheme, appearance, isDark] : rows) {
    SCOPED_TRACE(theme + " " + scheme + appearance);
    testing::writeFileBytes(gdbus, "#!/bin/sh\necho '(<<uint32 " + scheme + ">>,)'\n");
    ::chmod(gdbus.c_str(), 0700);
    testing::ScopedEnv gtk("GTK_THEME", theme);
    EXPECT_EQ(draw(appearance), isDark ? dark : light);
  }
}

// Installed, the programs are in PREFIX/bin and their modules (the renderer,
// the host's page server) in PREFIX/lib/quorvel: they are found from the
// program's folder, never from the build tree.
TEST(CommandLinesEndToEndTest, ModulesAreFoundBesideTheProgram) {
  testing::ScopedHome home;
  const char* built = std::getenv("QUORVEL_BIN_DIR");
  const std::filesystem::path bin = built ? built : QUORVEL_DEFAULT_BIN_DIR;
  const std::string module = "lib/quorvel/libquorvel_render.so";
  for (bool installed : {true, false}) {
    const auto prefix = home.path() / (installed ? "installed" : "bare");
    std::filesystem::create_directories(prefix / "lib/quorvel");
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::copy_file(bin / kWidgets, prefix / "bin" / kWidgets);
    if (installed) std::filesystem::copy_file(bin / ".." / module, prefix / module);
    testing::ScopedEnv programs("QUORVEL_BIN_DIR", (prefix / "bin").string());
    const auto drawn = runProcess(kWidgets, words("placeholder --kind QuorvelSmallWidget --png " +
                                                  (prefix / "small.png").string()));
    EXPECT_EQ(drawn.exitCode, installed ? 0 : 1) << drawn.err;
    EXPECT_EQ(drawn.err.find((prefix / module).string() + " was not found") != std::string::npos,
              !installed)
        << drawn.err;
    if (installed) continue;
    const auto served = runProcess(kWidgets, words("serve --port 0"));
    EXPECT_EQ(served.exitCode, 1);
    EXPECT_NE(
        served.err.find("cannot serve: " + (prefix / "lib/quorvel/libquorvel_serve.so").string()),
        std::string::npos)
        << served.err;
  }
}

}  // namespace
}  // namespace quorvel
