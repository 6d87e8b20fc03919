// Decoded image assets for the renderer, inside platform/ui only.
// Thread rule: any thread. The returned surface belongs to the caller (destroy
// it); it reads pixels that the catalogue keeps for the whole process.
#pragma once

#include <cairo.h>

#include <string_view>

namespace platform::ui::detail {

struct AssetSurface {
  cairo_surface_t* surface = nullptr;  // null when there is no usable asset
  double scale = 1;                    // pixels per point the asset was made for
};

AssetSurface imageAssetSurface(std::string_view name);

}  // namespace platform::ui::detail
