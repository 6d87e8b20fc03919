#include "resources/images/bundle_images.h"

#include <gtest/gtest.h>

#include "platform/ui/image_assets.h"
#include "platform/ui/render.h"

namespace quorvel {
namespace {

TEST(BundleImagesTest, IconIsRegisteredAtItsPointSize) {
  registerBundleImages();
  ASSERT_TRUE(platform::ui::hasImageAsset("quorvel-icon"));
  EXPECT_EQ(platform::ui::imageAssetSize("quorvel-icon"), (platform::ui::Size{60, 60}));
}

}  // namespace
}  // namespace quorvel
