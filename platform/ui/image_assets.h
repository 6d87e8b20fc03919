// The main bundle's image assets, by name, as the view toolkit finds them for
// `Image(name)`. This layer knows no product: whoever owns the bundle's
// resources registers each asset's PNG bytes at start-up.
// Thread rule: any function from any thread (an internal lock guards the
// catalogue). Ownership: the registered bytes must live as long as the
// process (static storage, e.g. embedded in the binary); decoded images are
// kept by the catalogue.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ui {

// Makes `pngBytes` the asset `name`, replacing an earlier one. `scale` is the
// pixel density the PNG was made for (3 for an @3x image): its natural size in
// points is its pixel size divided by `scale`. Bytes that are not a PNG make
// an asset that draws nothing.
void registerImageAsset(std::string name, std::string_view pngBytes, double scale = 1);

// One registered asset as it was handed over: its bytes are not decoded
// here, so the view values need nothing of the graphics libraries.
struct ImageAssetBytes {
  std::string name;
  std::string_view pngBytes;
  double scale = 1;
};
std::optional<ImageAssetBytes> imageAssetBytes(std::string_view name);
std::vector<ImageAssetBytes> registeredImageAssets();

}  // namespace platform::ui
