#include "resources/main_bundle.h"

#include "platform/foundation/locale/string_table.h"
#include "resources/images/bundle_images.h"

namespace quorvel {

void registerMainBundleResources() {
  platform::foundation::registerMainBundleStringsTable(mainBundleStringsTable());
  registerBundleImages();
}

}  // namespace quorvel
