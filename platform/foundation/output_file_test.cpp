#include "platform/foundation/output_file.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/support/test_support.h"

namespace platform::foundation {
namespace fs = std::filesystem;

// Each row writes "new" to `out` in a folder holding "real" ("old", 0600)
// and "link" (a symbolic link to it). No temporary is ever left behind.
TEST(OutputFileTest, ReplacesRegularFilesWholeAndRefusesFolders) {
  quorvel::testing::TempDir dir;
  const std::string d = dir.path().string();
  fs::create_symlink(d + "/real", d + "/link");
  const std::array<std::string, 3> rows[] = {
      {"new.json", "", "old"},
      {"real", "", "new"},
      {"link", "", "new"},  // the link stays
      {"no/x",
       "cannot write " + d + "/no/x: cannot create a file in " + d +
           "/no: No such file or directory",
       "old"},
      {".", "cannot write " + d + "/.: it is a directory", "old"}};
  for (const auto& [out, error, realBytes] : rows) {
    quorvel::testing::writeFileBytes(d + "/real", "old");
    fs::permissions(d + "/real", fs::perms(0600));
    fs::remove(d + "/new.json");
    EXPECT_EQ(writeOutputFile(d + "/" + out, "new").localizedDescription(), error) << out;
    EXPECT_EQ(quorvel::testing::readFileBytes(d + "/real"), realBytes) << out;
    EXPECT_EQ(std::distance(fs::directory_iterator(d), {}), 2 + (out == "new.json")) << out;
    EXPECT_TRUE(!error.empty() || fs::status(d + "/" + out).permissions() == fs::perms(0644))
        << out;
  }
  EXPECT_OK(writeOutputFile("/dev/null", "written in place"));
}

}  // namespace platform::foundation
