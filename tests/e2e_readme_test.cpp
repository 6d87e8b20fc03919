// The README's example block, run line by line as a reader would, from a
// folder laid out like the repository, against an exchange on 127.0.0.1.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/loopback_server.h"
#include "tests/support/process.h"

namespace quorvel {
namespace {

TEST(ReadmeEndToEndTest, ExamplesRunAsWritten) {
  testing::ScopedHome home;
  testing::LoopbackServer exchange;
  const std::string tickers = testing::fixture("tickers/ticker-24hr-full.json");
  exchange.server().Get("/api/v3/ticker/24hr", [&](const auto&, auto& response) {
    response.set_content(tickers, "application/json");
  });
  testing::ScopedEnv base("QUORVEL_API_BASE_URL", exchange.start());
  const auto repository = home.path() / "repository";
  const char* built = std::getenv("QUORVEL_BIN_DIR");
  std::filesystem::create_directories(repository / "build");
  std::filesystem::create_directories(repository / "tests");
  std::filesystem::create_directory_symlink(built ? built : QUORVEL_DEFAULT_BIN_DIR,
                                            repository / "build/bin");
  std::filesystem::create_directory_symlink(testing::fixturePath(""),
                                            repository / "tests/fixtures");

  // The lines of the first code block after the marker.
  std::ifstream readme(testing::fixturePath("../../README.md"));
  int fences = 0, lines = 0;
  for (std::string line; fences < 2 && std::getline(readme, line);) {
    if (fences == 0 && line == "<!-- examples -->") fences = -1;
    if (line.starts_with("```") && fences != 0) fences = fences < 0 ? 1 : 2;
    if (fences != 1 || line.starts_with("```") || line.empty()) continue;
    ++lines;
    const auto result = testing::runProcess(
        "/bin/bash", {"-o", "pipefail", "-c", "cd '" + repository.string() + "' && " + line});
    EXPECT_EQ(result.exitCode, 0) << line << "\n" << result.err;
  }
  EXPECT_GE(lines, 5);
  EXPECT_TRUE(testing::readFileBytes(repository / "medium.png").starts_with("\x89PNG"));
  const auto small = nlohmann::json::parse(testing::readFileBytes(repository / "small.json"));
  EXPECT_GT(small["entries"][0]["portfolio"]["todayBalance"].get<double>(), 0);
  EXPECT_EQ(nlohmann::json::parse(testing::readFileBytes(repository / "delivered.json"))
                .value("deliveredBy", ""),
            "helper");
}

}  // namespace
}  // namespace quorvel
