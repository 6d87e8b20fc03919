#include "platform/ui/asset_surface.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ui/image_assets.h"
#include "platform/ui/render.h"

namespace platform::ui {
namespace {

// Decoded once and never changed afterwards, so every render may read the
// pixels through its own surface without a lock.
struct DecodedAsset {
  int width = 0;
  int height = 0;
  int stride = 0;
  double scale = 1;
  std::vector<unsigned char> pixels;  // CAIRO_FORMAT_ARGB32
};

// What was decoded from which bytes: a re-registered asset (new bytes or
// scale) is decoded again.
struct CacheEntry {
  const char* bytes = nullptr;
  std::size_t size = 0;
  double scale = 1;
  std::shared_ptr<const DecodedAsset> decoded;  // null: the bytes are not a PNG
};

struct Cache {
  std::mutex mutex;
  std::map<std::string, CacheEntry, std::less<>> entries;
};

struct PngReader {
  std::string_view bytes;
  std::size_t offset = 0;
};

cairo_status_t readPng(void* closure, unsigned char* data, unsigned int length) {
  auto* reader = static_cast<PngReader*>(closure);
  if (reader->bytes.size() - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, reader->bytes.data() + reader->offset, length);
  reader->offset += length;
  return CAIRO_STATUS_SUCCESS;
}

std::shared_ptr<const DecodedAsset> decode(std::string_view bytes, double scale) {
  PngReader reader{bytes, 0};
  cairo_surface_t* png = cairo_image_surface_create_from_png_stream(readPng, &reader);
  std::shared_ptr<DecodedAsset> asset;
  if (cairo_surface_status(png) == CAIRO_STATUS_SUCCESS) {
    asset = std::make_shared<DecodedAsset>();
    asset->width = cairo_image_surface_get_width(png);
    asset->height = cairo_image_surface_get_height(png);
    asset->stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, asset->width);
    asset->scale = scale;
    asset->pixels.assign(static_cast<std::size_t>(asset->stride) * asset->height, 0);
    cairo_surface_t* copy = cairo_image_surface_create_for_data(
        asset->pixels.data(), CAIRO_FORMAT_ARGB32, asset->width, asset->height, asset->stride);
    cairo_t* cr = cairo_create(copy);
    cairo_set_source_surface(cr, png, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(copy);
    cairo_surface_destroy(copy);
  }
  cairo_surface_destroy(png);
  return asset;
}

// The decoded asset, decoding it on first use; null when absent or unusable.
std::shared_ptr<const DecodedAsset> decodedAsset(std::string_view name) {
  const std::optional<ImageAssetBytes> registered = imageAssetBytes(name);
  if (!registered) return nullptr;
  static Cache& c = *new Cache();  // lives as long as the process
  std::lock_guard lock(c.mutex);
  CacheEntry& entry = c.entries[registered->name];
  if (entry.bytes != registered->pngBytes.data() || entry.size != registered->pngBytes.size() ||
      entry.scale != registered->scale) {
    entry = CacheEntry{registered->pngBytes.data(), registered->pngBytes.size(), registered->scale,
                       decode(registered->pngBytes, registered->scale)};
  }
  return entry.decoded;
}

}  // namespace

std::optional<Size> imageAssetSize(std::string_view name) {
  const std::shared_ptr<const DecodedAsset> asset = decodedAsset(name);
  if (!asset) return std::nullopt;
  return Size{asset->width / asset->scale, asset->height / asset->scale};
}

namespace detail {

AssetSurface imageAssetSurface(std::string_view name) {
  std::shared_ptr<const DecodedAsset> asset = decodedAsset(name);
  if (!asset) return {};
  // The surface only reads the pixels; it holds the decoded asset until it is
  // destroyed, so a re-registration cannot free them under a render.
  auto* pixels = const_cast<unsigned char*>(asset->pixels.data());
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      pixels, CAIRO_FORMAT_ARGB32, asset->width, asset->height, asset->stride);
  static cairo_user_data_key_t kOwnerKey;
  auto* owner = new std::shared_ptr<const DecodedAsset>(asset);
  if (cairo_surface_set_user_data(surface, &kOwnerKey, owner, [](void* data) {
        delete static_cast<std::shared_ptr<const DecodedAsset>*>(data);
      }) != CAIRO_STATUS_SUCCESS) {
    delete owner;
    cairo_surface_destroy(surface);
    return {};
  }
  return AssetSurface{surface, asset->scale};
}

}  // namespace detail
}  // namespace platform::ui
