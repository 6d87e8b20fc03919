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

TEST(OutputFileTest, AMissingFolderIsAnErrorNamingThePath) {
  TempDir dir;
  const Status missing = writeOutputFile((dir.path() / "no" / "such").string(), "x");
  EXPECT_EQ(missing.code(), Status::Code::kIOError);
  EXPECT_NE(missing.localizedDescription().find("no/such"), std::string::npos);
}

}  // namespace
}  // namespace platform::foundation
