// The conventions the three programs share, run through the built
// executables: help on standard output, the version, one error format, and
// the appearance that follows the desktop.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
  testing::ScopedHome home;
  const struct {
    const char* program;
    std::string args;
    int exit;
    std::vector<std::string> out;  // parts of standard output, in order
    std::string err = "";          // how standard error starts
  } rows[] = {
      {kWidgets,
       "--help",
       0,
       {"Usage: QuorvelWidgetsExtension [OPTIONS] SUBCOMMAND", "describe", "placeholder",
        "snapshot", "timeline", "QuorvelSmallWidget", "QuorvelMediumWidget",
        "--json - they come "
        "first and the JSON is the last line",
        "--json small.json", "QUORVEL_HOME", "XDG_DATA_HOME", "QUORVEL_API_BASE_URL",
        "Exit status: 0 answered"}},
      {kWidgets,
       "timeline --help",
       0,
       {"Usage: QuorvelWidgetsExtension timeline [OPTIONS]", "--appearance", "system",
        "--json FILE|-"}},
      {kNotifications,
       "--help",
       0,
       {"Usage: QuorvelNotificationsExtension [OPTIONS]", "--payload FILE|-", "\"system\"",
        "QUORVEL_HOME", "XDG_DATA_HOME", "Exit status: 0 delivered"}},
      {kHost, "snapshot show --help", 0, {"Usage: quorvel-host snapshot show [OPTIONS]", "--json"}},
      {kWidgets,
       "timeline --kind Nope",
       2,
       {},
       "QuorvelWidgetsExtension: bad --kind: no widget of kind \"Nope\" (known: "
       "QuorvelSmallWidget, QuorvelMediumWidget)\nRun 'QuorvelWidgetsExtension --help' for the "
       "usage.\n"},
      {kWidgets,
       "snapshot --kind QuorvelSmallWidget --appearance dim",
       2,
       {},
       "QuorvelWidgetsExtension: bad command line: --appearance: "},
      {kWidgets,
       "snapshot --kind QuorvelSmallWidget --deadline nan",
       2,
       {},
       "QuorvelWidgetsExtension: bad command line: --scale and --deadline must be finite"},
      {kNotifications,
       "--time-limit soon",
       2,
       {},
       "QuorvelNotificationsExtension: bad command "
       "line: "},
      {kHost, "theme set blue", 2, {}, "quorvel-host: bad command line: THEME: "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.program) + " " + row.args);
    const auto result = runProcess(row.program, words(row.args));
    EXPECT_EQ(result.exitCode, row.exit);
    std::size_t at = 0;
    for (const std::string& part : row.out) {
      at = result.out.find(part, at);
      ASSERT_NE(at, std::string::npos) << part << "\n" << result.out;
    }
    EXPECT_EQ(row.out.empty(), result.out.empty()) << result.out;
    EXPECT_TRUE(result.err.starts_with(row.err)) << result.err;
    EXPECT_EQ(row.err.empty(), result.err.empty()) << result.err;
  }
  for (const char* program : {kWidgets, kNotifications, kHost}) {
    const auto version = runProcess(program, {"--version"});
    EXPECT_EQ(version.exitCode, 0) << program;
    EXPECT_TRUE(std::regex_match(version.out, std::regex("[0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << program << ": " << version.out;
  }
}

// --appearance system (the default) draws as the desktop prefers: GTK_THEME
// first, else the settings portal, else light.
TEST(CommandLinesEndToEndTest, SystemAppearanceFollowsTheDesktop) {
  testing::ScopedHome home;
  const auto draw = [&](const std::string& appearance) {
    const std::string png = (home.path() / "out.png").string();
    const auto result = runProcess(
        kWidgets, words("placeholder --kind QuorvelMediumWidget --png " + png + appearance));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return testing::readFileBytes(png);
  };
  const std::string light = draw(" --appearance light"), dark = draw(" --appearance dark");
  ASSERT_NE(light, dark);
  // A stand-in for gdbus answers the portal's question with `scheme`.
  const auto portal = home.path() / "bin";
  const auto answering = [&](const std::string& scheme) {
    testing::writeFileBytes(portal / "gdbus", "#!/bin/sh\necho '(<<uint32 " + scheme + ">>,)'\n");
    ::chmod((portal / "gdbus").c_str(), 0700);
  };
  testing::ScopedEnv path("PATH", portal.string() + ":/usr/bin:/bin");
  testing::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (home.path() / "bus").string());
  const struct {
    std::string gtkTheme, scheme, appearance;
    bool isDark;
  } rows[] = {
      {"", "1", "", true},
      {"", "2", "", false},
      {"", "0", " --appearance system", false},
      {"", "1", " --appearance light", false},
      {"Adwaita:dark", "2", "", true},
      {"Adwaita", "1", "", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.gtkTheme + " " + row.scheme + row.appearance);
    answering(row.scheme);
    testing::ScopedEnv theme("GTK_THEME", row.gtkTheme);
    EXPECT_EQ(draw(row.appearance), row.isDark ? dark : light);
  }
}

// An installation keeps the programs in PREFIX/bin and the renderer module
// in PREFIX/lib/quorvel: the module is found from the program's own folder,
// never from the build tree it was built in.
TEST(CommandLinesEndToEndTest, RendererModuleIsFoundBesideTheProgram) {
  testing::ScopedHome home;
  const char* built = std::getenv("QUORVEL_BIN_DIR");
  const std::filesystem::path bin = built ? built : QUORVEL_DEFAULT_BIN_DIR;
  const std::string module = "libquorvel_render.so";
  for (bool installed : {true, false}) {
    SCOPED_TRACE(installed);
    const auto prefix = home.path() / (installed ? "installed" : "bare");
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::copy_file(bin / kWidgets, prefix / "bin" / kWidgets);
    if (installed) {
      std::filesystem::create_directories(prefix / "lib/quorvel");
      std::filesystem::copy_file(bin / "../lib/quorvel" / module, prefix / "lib/quorvel" / module);
    }
    testing::ScopedEnv programs("QUORVEL_BIN_DIR", (prefix / "bin").string());
    const auto png = prefix / "small.png";
    const auto result =
        runProcess(kWidgets, words("placeholder --kind QuorvelSmallWidget --png " + png.string()));
    EXPECT_EQ(result.exitCode, installed ? 0 : 1) << result.err;
    EXPECT_EQ(std::filesystem::exists(png), installed);
    EXPECT_EQ(result.err.find((prefix / "lib/quorvel" / module).string() + " was not found") !=
                  std::string::npos,
              !installed)
        << result.err;
  }
}

}  // namespace
}  // namespace quorvel
