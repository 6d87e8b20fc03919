#include "platform/ui/image_assets.h"

#include <cmath>
#include <map>
#include <mutex>

namespace platform::ui {
namespace {

struct Entry {
  std::string_view bytes;
  double scale = 1;
};

struct Catalogue {
  std::mutex mutex;
  std::map<std::string, Entry, std::less<>> entries;
};

Catalogue& catalogue() {
  static Catalogue* instance = new Catalogue();  // lives as long as the process
  return *instance;
}

}  // namespace

void registerImageAsset(std::string name, std::string_view pngBytes, double scale) {
  if (!std::isfinite(scale) || scale <= 0) scale = 1;
  Catalogue& c = catalogue();
  std::lock_guard lock(c.mutex);
  c.entries[std::move(name)] = Entry{pngBytes, scale};
}

std::optional<ImageAssetBytes> imageAssetBytes(std::string_view name) {
  Catalogue& c = catalogue();
  std::lock_guard lock(c.mutex);
  auto it = c.entries.find(name);
  if (it == c.entries.end()) return std::nullopt;
  return ImageAssetBytes{it->first, it->second.bytes, it->second.scale};
}

std::vector<ImageAssetBytes> registeredImageAssets() {
  Catalogue& c = catalogue();
  std::lock_guard lock(c.mutex);
  std::vector<ImageAssetBytes> all;
  for (const auto& [name, entry] : c.entries) all.push_back({name, entry.bytes, entry.scale});
  return all;
}

}  // namespace platform::ui
