#include "tests/support/drawing.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/support/test_support.h"

namespace quorvel::testing {
namespace {

struct Bitmap {
  int width = 0, height = 0;
  std::vector<unsigned char> bytes;  // premultiplied ARGB, row after row
};

Bitmap decode(const std::filesystem::path& png) {
  Bitmap bitmap;
  cairo_surface_t* surface = cairo_image_surface_create_from_png(png.c_str());
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    cairo_surface_flush(surface);
    bitmap.width = cairo_image_surface_get_width(surface);
    bitmap.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < bitmap.height; ++y)
      bitmap.bytes.insert(bitmap.bytes.end(), data + y * stride,
                          data + y * stride + 4 * bitmap.width);
  }
  cairo_surface_destroy(surface);
  return bitmap;
}

}  // namespace

void expectDrawnAs(const std::filesystem::path& png, const std::string& name) {
  const auto reference = fixturePath("drawings/" + name + ".png");
  if (const char* update = std::getenv("QUORVEL_UPDATE_DUMPS"); update && *update == '1') {
    std::filesystem::copy_file(png, reference, std::filesystem::copy_options::overwrite_existing);
    return;
  }
  const Bitmap drawn = decode(png), expected = decode(reference);
  ASSERT_GT(expected.width, 0) << reference << " is not a PNG";
  ASSERT_EQ(drawn.width, expected.width) << name;
  ASSERT_EQ(drawn.height, expected.height) << name;
  // A channel off by a few levels is noise; a moved edge or a wrong colour
  // is more, and so is a pixel of another opacity.
  int differing = 0;
  for (size_t i = 0; i < drawn.bytes.size(); ++i)  // a pixel counts once: on to the next
    if (std::abs(drawn.bytes[i] - expected.bytes[i]) > 24) ++differing, i |= 3;
  EXPECT_LE(differing, 4) << name << ": " << differing << " pixels differ from " << reference;
}

}  // namespace quorvel::testing
