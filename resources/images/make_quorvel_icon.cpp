// Draws the "quorvel-icon" image asset: a ring with a tail (a geometric Q)
// and a rising spark on a diagonal indigo-to-teal gradient, 180 x 180 pixels
// (60 pt at @3x). Run it to regenerate quorvel-icon.png:
//   make_quorvel_icon resources/images/quorvel-icon.png
#include <cairo.h>

#include <cmath>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_quorvel_icon OUTPUT.png\n");
    return 2;
  }
  constexpr int kSide = 180;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSide, kSide);
  cairo_t* cr = cairo_create(surface);

  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, kSide, kSide);
  cairo_pattern_add_color_stop_rgb(gradient, 0, 0x3B / 255.0, 0x2F / 255.0, 0xD9 / 255.0);
  cairo_pattern_add_color_stop_rgb(gradient, 1, 0x14 / 255.0, 0xB8 / 255.0, 0xA6 / 255.0);
  cairo_set_source(cr, gradient);
  cairo_paint(cr);
  cairo_pattern_destroy(gradient);

  // The ring, open at the lower right where the tail leaves it.
  const double cx = kSide * 0.47;
  const double cy = kSide * 0.47;
  const double radius = kSide * 0.25;
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, kSide * 0.085);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_arc(cr, cx, cy, radius, M_PI * 0.40, M_PI * 0.10 + 2 * M_PI);
  cairo_stroke(cr);

  // The tail: a rising stroke out of the ring's gap.
  cairo_move_to(cr, cx + radius * 0.35, cy + radius * 0.35);
  cairo_line_to(cr, kSide * 0.80, kSide * 0.80);
  cairo_stroke(cr);

  // A small spark above the ring's right shoulder.
  cairo_arc(cr, kSide * 0.78, kSide * 0.22, kSide * 0.055, 0, 2 * M_PI);
  cairo_fill(cr);

  cairo_destroy(cr);
  const cairo_status_t status = cairo_surface_write_to_png(surface, argv[1]);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "cannot write %s: %s\n", argv[1], cairo_status_to_string(status));
    return 1;
  }
  return 0;
}
