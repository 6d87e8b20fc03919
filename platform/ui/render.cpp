#include "platform/ui/render.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <fstream>

#include "platform/ui/layout_engine.h"
#include "platform/ui/shapes.h"

namespace platform::ui {
namespace {

using foundation::Result;
using foundation::Status;

Status validate(const RenderOptions& options) {
  const Size size = options.size;
  if (!(std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 &&
        size.height > 0 && size.width <= kMaxRenderSide && size.height <= kMaxRenderSide)) {
    return Status::InvalidArgument("Render size must be positive and at most 4096 points a side");
  }
  if (!(std::isfinite(options.scale) && options.scale > 0 && options.scale <= kMaxRenderScale)) {
    return Status::InvalidArgument("Render scale must be more than 0 and at most 4");
  }
  return Status();
}

int pixels(double points, double scale) {
  return std::max(1, static_cast<int>(std::lround(points * scale)));
}

// Draws the widget: its rounded container, the container background behind
// everything, then the content (full bleed, or inset by the content margins).
void drawWidget(cairo_t* cr, const View& view, const RenderOptions& options) {
  cairo_scale(cr, options.scale, options.scale);
  const Rect widget{{0, 0}, options.size};
  detail::DrawContext context{cr, options.colorScheme, options.scale};

  detail::ElementTree tree = detail::buildElementTree(view);
  cairo_save(cr);
  const double radius = std::isfinite(options.cornerRadius) ? options.cornerRadius : 0;
  detail::appendRoundedRect(cr, widget, radius, RoundedCornerStyle::continuous);
  cairo_clip(cr);

  Rect content = widget;
  if (options.contentMargins) {
    if (options.contentMarginFill) {
      cairo_rectangle(cr, 0, 0, widget.size.width, widget.size.height);
      detail::setSourceColor(cr, options.contentMarginFill->resolve(options.colorScheme));
      cairo_fill(cr);
    }
    const double margin =
        std::min(kWidgetContentMargin, std::min(widget.size.width, widget.size.height) / 2);
    content =
        Rect{{margin, margin}, {widget.size.width - 2 * margin, widget.size.height - 2 * margin}};
  }
  if (tree.containerBackground) {
    const ProposedSize proposal = ProposedSize::from(widget.size);
    const Size size = tree.containerBackground->sizeThatFits(proposal);
    tree.containerBackground->place(detail::alignedOrigin(widget, size, tree.containerAlignment),
                                    proposal);
    tree.containerBackground->draw(context);
  }
  detail::layoutRoot(*tree.root, content);
  tree.root->draw(context);
  cairo_restore(cr);
}

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void appendPNGBytes(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))
      ->append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) {}

// The surface as a PNG file. Widgets are large runs of flat colour, which
// deflate finds without help: unfiltered rows at the fastest level take a
// third of the time of libpng's defaults (adaptive filters, level 6) for a
// file about a tenth larger (48 KB against 43 KB for the medium widget at
// scale 3), and opaque pixels, nearly all of them, skip the division that
// undoes the premultiplied alpha.
Result<std::string> encodePNG(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  std::string bytes;
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 4);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    // libpng jumps here on failure; only plain locals above this point.
    png_destroy_write_struct(&png, &info);
    return Status::IOError("The picture could not be encoded as PNG");
  }
  png_set_write_fn(png, &bytes, appendPNGBytes, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, Z_BEST_SPEED);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const auto* argb =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
    png_byte* out = row.data();
    for (int x = 0; x < width; ++x, out += 4) {
      const std::uint32_t a = argb[x] >> 24;
      if (a == 0) {
        out[0] = out[1] = out[2] = out[3] = 0;
        continue;
      }
      if (a == 255) {
        out[0] = static_cast<png_byte>(argb[x] >> 16);
        out[1] = static_cast<png_byte>(argb[x] >> 8);
        out[2] = static_cast<png_byte>(argb[x]);
        out[3] = 255;
        continue;
      }
      auto unpremultiply = [a](std::uint32_t c) {
        return static_cast<png_byte>(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
      };
      out[0] = unpremultiply((argb[x] >> 16) & 0xff);
      out[1] = unpremultiply((argb[x] >> 8) & 0xff);
      out[2] = unpremultiply(argb[x] & 0xff);
      out[3] = static_cast<png_byte>(a);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

// An image surface with the widget drawn on it; the caller destroys it.
Result<cairo_surface_t*> renderSurface(const View& view, const RenderOptions& options) {
  if (Status status = validate(options); !status.ok()) return status;
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels(options.size.width, options.scale),
                                 pixels(options.size.height, options.scale));
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    const Status status = Status::IOError(cairo_status_to_string(cairo_surface_status(surface)));
    cairo_surface_destroy(surface);
    return status;
  }
  cairo_t* cr = cairo_create(surface);
  drawWidget(cr, view, options);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

// Writes what a render made, or passes its failure on.
Status writeRendered(const Result<std::string>& bytes, const std::filesystem::path& path) {
  if (!bytes.ok()) return bytes.status;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.value->data(), static_cast<std::streamsize>(bytes.value->size()));
  out.close();
  if (!out) return Status::IOError("Cannot write " + path.string());
  return Status();
}

}  // namespace

Bitmap::Pixel Bitmap::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {};
  const std::uint32_t argb = pixels[static_cast<std::size_t>(y) * width + x];
  const std::uint32_t a = argb >> 24;
  if (a == 0) return {};
  auto unpremultiply = [a](std::uint32_t c) {
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
  };
  return {unpremultiply((argb >> 16) & 0xff), unpremultiply((argb >> 8) & 0xff),
          unpremultiply(argb & 0xff), static_cast<std::uint8_t>(a)};
}

Result<Bitmap> renderToBitmap(const View& view, const RenderOptions& options) {
  Result<cairo_surface_t*> surface = renderSurface(view, options);
  if (!surface.ok()) return surface.status;
  cairo_surface_t* s = *surface.value;
  Bitmap bitmap;
  bitmap.width = cairo_image_surface_get_width(s);
  bitmap.height = cairo_image_surface_get_height(s);
  bitmap.pixels.resize(static_cast<std::size_t>(bitmap.width) * bitmap.height);
  const int stride = cairo_image_surface_get_stride(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  for (int y = 0; y < bitmap.height; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
    std::copy(row, row + bitmap.width,
              bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(y) * bitmap.width);
  }
  cairo_surface_destroy(s);
  return bitmap;
}

Result<std::string> renderToPNGData(const View& view, const RenderOptions& options) {
  Result<cairo_surface_t*> surface = renderSurface(view, options);
  if (!surface.ok()) return surface.status;
  Result<std::string> png = encodePNG(*surface.value);
  cairo_surface_destroy(*surface.value);
  return png;
}

Status renderToPNG(const View& view, const RenderOptions& options,
                   const std::filesystem::path& path) {
  return writeRendered(renderToPNGData(view, options), path);
}

Result<std::string> renderToSVGData(const View& view, const RenderOptions& options) {
  if (Status status = validate(options); !status.ok()) return status;
  std::string bytes;
  cairo_surface_t* surface = cairo_svg_surface_create_for_stream(
      appendToString, &bytes, options.size.width * options.scale,
      options.size.height * options.scale);
  cairo_t* cr = cairo_create(surface);
  drawWidget(cr, view, options);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    return Status::IOError(cairo_status_to_string(status));
  }
  return bytes;
}

Status renderToSVG(const View& view, const RenderOptions& options,
                   const std::filesystem::path& path) {
  return writeRendered(renderToSVGData(view, options), path);
}

}  // namespace platform::ui
