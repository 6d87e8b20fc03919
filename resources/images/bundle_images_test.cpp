#include "resources/images/bundle_images.h"

#include <gtest/gtest.h>

#include "platform/ui/render.h"

namespace quorvel {
namespace {

TEST(BundleImagesTest, IconIsRegisteredAtItsPointSize) {
  registerBundleImages();
  EXPECT_EQ(platform::ui::imageAssetSize("quorvel-icon"), (platform::ui::Size{60, 60}));
}

}  // namespace
}  // namespace quorvel
