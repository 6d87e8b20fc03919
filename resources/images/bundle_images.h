// The main bundle's image assets, compiled into the binary from
// resources/images. Thread rule: any thread. Ownership: the bytes are static.
#pragma once

#include <string_view>

namespace quorvel {

// The bytes of quorvel-icon.png (180 x 180 pixels, drawn for @3x).
std::string_view quorvelIconPNG();

// Hands every image asset to the view toolkit under its asset name
// ("quorvel-icon"). Idempotent; call at start-up before the first render.
void registerBundleImages();

}  // namespace quorvel
