#include "platform/foundation/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace platform::foundation {
namespace {

namespace fs = std::filesystem;
using quorvel::testing::readFileBytes;
using quorvel::testing::TempDir;
using quorvel::testing::writeFileBytes;

// Whatever waits at the temporary names (here links to a file that must
// stay as it is) is stepped around, and the result is readable by all only
// once written.
TEST(OutputFileTest, ReplacesWholeWithoutWritingThroughPlantedNames) {
  TempDir dir;
  const fs::path out = dir.path() / "answer.json";
  const fs::path victim = dir.path() / "victim";
  writeFileBytes(out, "old");
  writeFileBytes(victim, "keep");
  for (int attempt = 0; attempt < 3; ++attempt) {
    fs::create_symlink(victim, out.string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                                   std::to_string(attempt));
  }
  ASSERT_OK(writeOutputFile(out.string(), "new"));
  EXPECT_EQ(readFileBytes(out), "new");
  EXPECT_EQ(readFileBytes(victim), "keep");
  struct stat info {};
  ASSERT_EQ(::stat(out.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(OutputFileTest, EightPlantedNamesOrAMissingFolderAreErrorsNamingThePath) {
  TempDir dir;
  const fs::path out = dir.path() / "answer.json";
  for (int attempt = 0; attempt < 8; ++attempt) {
    writeFileBytes(
        out.string() + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt), "x");
  }
  EXPECT_EQ(writeOutputFile(out.string(), "new").code(), Status::Code::kIOError);
  EXPECT_FALSE(fs::exists(out));
  const Status missing = writeOutputFile((dir.path() / "no" / "such").string(), "x");
  EXPECT_EQ(missing.code(), Status::Code::kIOError);
  EXPECT_NE(missing.localizedDescription().find("no/such"), std::string::npos);
}

}  // namespace
}  // namespace platform::foundation
