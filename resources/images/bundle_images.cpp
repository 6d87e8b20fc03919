#include "resources/images/bundle_images.h"

#include "platform/ui/image_assets.h"

namespace quorvel {

void registerBundleImages() {
  // Drawn at three pixels per point, so its natural size is 60 x 60 pt.
  platform::ui::registerImageAsset("quorvel-icon", quorvelIconPNG(), 3);
}

}  // namespace quorvel
