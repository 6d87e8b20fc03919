// The README's example block, run line by line as a reader would, from a
// folder laid out like the repository, against an exchange on 127.0.0.1.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/loopback_server.h"
#include "tests/support/process.h"

namespace quorvel {
namespace {

// The lines of the first code block after the "<!-- examples -->" marker.
std::vector<std::string> readmeExamples() {
  std::ifstream readme(testing::fixturePath("../../README.md"));
  std::vector<std::string> lines;
  bool marked = false, inside = false;
  for (std::string line; std::getline(readme, line);) {
    if (line == "<!-- examples -->")
      marked = true;
    else if (marked && line.starts_with("```")) {
      if (inside) break;
      inside = true;
    } else if (inside && !line.empty()) {
      lines.push_back(line);
    }
  }
  return lines;
}

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

  const std::vector<std::string> examples = readmeExamples();
  ASSERT_GE(examples.size(), 5u);
  for (const std::string& line : examples) {
    SCOPED_TRACE(line);
    const auto result = testing::runProcess(
        "/bin/bash", {"-o", "pipefail", "-c", "cd '" + repository.string() + "' && " + line});
    EXPECT_EQ(result.exitCode, 0) << result.err;
  }
  for (const char* picture : {"small.png", "medium.png"}) {
    EXPECT_TRUE(testing::readFileBytes(repository / picture).starts_with("\x89PNG")) << picture;
  }
  const auto small = nlohmann::json::parse(testing::readFileBytes(repository / "small.json"));
  EXPECT_GT(small["entries"][0]["portfolio"]["todayBalance"].get<double>(), 0);
  const auto delivered =
      nlohmann::json::parse(testing::readFileBytes(repository / "delivered.json"));
  EXPECT_EQ(delivered["deliveredBy"], "helper");
}

}  // namespace
}  // namespace quorvel
