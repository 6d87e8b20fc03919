#include "platform/foundation/file_access.h"

#include <gtest/gtest.h>

namespace platform::foundation {
namespace {

// The kernel's attribute files state a size of a page and hold a few bytes:
// a file shorter than its stated size is read to its end, not refused.
TEST(FileAccessTest, AFileShorterThanItsStatedSizeIsReadToItsEnd) {
  const auto online = readRegularFile("/sys/devices/system/cpu/online", 1 << 20);
  ASSERT_TRUE(online.ok()) << online.status.localizedDescription();
  EXPECT_TRUE(online.value->starts_with("0") && online.value->ends_with("\n")) << *online.value;
}

}  // namespace
}  // namespace platform::foundation
