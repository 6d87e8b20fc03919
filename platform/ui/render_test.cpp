#include "platform/ui/render.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>

#include "platform/ui/image.h"
#include "platform/ui/image_assets.h"
#include "platform/ui/layout.h"
#include "platform/ui/text.h"
#include "tests/support/test_support.h"

namespace platform::ui {
namespace {

using foundation::Status;
using Pixel = Bitmap::Pixel;

const Color kRed(1, 0, 0);
const Color kGreen(35 / 255.0, 171 / 255.0, 108 / 255.0);
constexpr Size kSmall{158, 158};
constexpr Size kMedium{338, 158};
const FlexFrame kFill{.maxWidth = kInfinity, .maxHeight = kInfinity};

constexpr Pixel kWhite{255, 255, 255, 255};
constexpr Pixel kBlack{0, 0, 0, 255};
constexpr Pixel kTransparent{0, 0, 0, 0};

bool near(const Pixel& a, const Pixel& b, int tolerance = 2) {
  return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
         std::abs(a.blue - b.blue) <= tolerance && std::abs(a.alpha - b.alpha) <= tolerance;
}

Bitmap render(const View& view, RenderOptions options) {
  auto result = renderToBitmap(view, options);
  EXPECT_OK(result.status);
  return result.value.value_or(Bitmap{});
}

View onWhite(const View& content) { return content.frame(kFill).background(Color::white()); }

TEST(RenderTest, WritesARealPngOfTheWidgetsPixelSize) {
  quorvel::testing::TempDir dir;
  const auto path = dir.path() / "medium.png";
  ASSERT_OK(renderToPNG(Color::white(), RenderOptions{.size = kMedium}, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png), 1014);
  EXPECT_EQ(cairo_image_surface_get_height(png), 474);
  cairo_surface_destroy(png);
}

TEST(RenderTest, ScaleSetsThePixelSize) {
  for (double scale : {1.0, 2.0, 3.0}) {
    const Bitmap bitmap = render(Color::white(), {.size = kSmall, .scale = scale});
    EXPECT_EQ(bitmap.width, static_cast<int>(158 * scale)) << scale;
    EXPECT_EQ(bitmap.height, static_cast<int>(158 * scale)) << scale;
  }
}

TEST(RenderTest, DynamicColourFollowsTheAppearance) {
  const View view = Color::dynamic(Color::white(), Color::black());
  const RenderOptions light{.size = kMedium, .colorScheme = ColorScheme::light};
  const RenderOptions dark{.size = kMedium, .colorScheme = ColorScheme::dark};
  const RenderOptions unspecified{.size = kMedium, .colorScheme = ColorScheme::unspecified};
  EXPECT_EQ(render(view, light).pixel(507, 237), kWhite);
  EXPECT_EQ(render(view, dark).pixel(507, 237), kBlack);
  EXPECT_EQ(render(view, unspecified).pixel(507, 237), kWhite);
}

TEST(RenderTest, CornersOutsideTheRoundedContainerStayTransparent) {
  const Bitmap bitmap = render(Color::black(), {.size = kMedium, .scale = 3});
  const int w = bitmap.width;
  const int h = bitmap.height;
  for (auto [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {6, 6}}) {
    EXPECT_EQ(bitmap.pixel(x, y), kTransparent) << x << "," << y;
  }
  EXPECT_EQ(bitmap.pixel(0, h / 2), kBlack);
  EXPECT_EQ(bitmap.pixel(w / 2, 0), kBlack);
  // 22 pt continuous corners: the curve reaches the diagonal well inside the
  // square corner.
  EXPECT_EQ(bitmap.pixel(3 * 6, 3 * 6), kTransparent);
  EXPECT_EQ(bitmap.pixel(3 * 9, 3 * 9), kBlack);
}

TEST(RenderTest, PillIsFilledAndRoundedInItsColour) {
  const View pill = Text::verbatim("2.88%")
                        .font(Font::system(14, Font::Weight::semibold))
                        .padding(EdgeInsets{6, 8, 6, 8})
                        .background(kGreen)
                        .clipShape(RoundedRectangle{8})
                        .foregroundColor(Color::white());
  const RenderOptions options{.size = {200, 100}, .scale = 2, .cornerRadius = 0};
  const PlacedView placed = layoutView(onWhite(pill), options.size);
  const Rect box = findPlaced(placed, "clip").front()->frame;
  const Bitmap bitmap = render(onWhite(pill), options);
  auto at = [&](double x, double y) {
    return bitmap.pixel(static_cast<int>(x * options.scale), static_cast<int>(y * options.scale));
  };
  const Pixel green{35, 171, 108, 255};
  EXPECT_TRUE(near(at(box.minX() + 4, box.midY()), green));   // leading padding
  EXPECT_TRUE(near(at(box.maxX() - 4, box.midY()), green));   // trailing padding
  EXPECT_TRUE(near(at(box.midX(), box.minY() + 2), green));   // top padding
  EXPECT_EQ(at(box.minX() + 0.5, box.minY() + 0.5), kWhite);  // rounded away
  EXPECT_EQ(at(box.maxX() - 0.7, box.maxY() - 0.7), kWhite);
  EXPECT_EQ(at(box.minX() - 2, box.midY()), kWhite);  // nothing outside
}

TEST(RenderTest, TextPixelsAppearOnlyInsideTheTextsFrame) {
  const View text = Text::verbatim("Current Balance 123")
                        .font(Font::system(22, Font::Weight::bold))
                        .foregroundColor(kRed);
  const RenderOptions options{.size = {300, 100}, .scale = 3, .cornerRadius = 0};
  const Rect frame = findPlaced(layoutView(onWhite(text), options.size), "Text").front()->frame;
  const Bitmap bitmap = render(onWhite(text), options);
  int inside = 0;
  int outside = 0;
  const double slack = 1;  // points of glyph overhang
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      const Pixel p = bitmap.pixel(x, y);
      if (p.red < 200 || p.green > 120) continue;  // not text-red
      const double px = x / options.scale;
      const double py = y / options.scale;
      const bool in = px >= frame.minX() - slack && px <= frame.maxX() + slack &&
                      py >= frame.minY() - slack && py <= frame.maxY() + slack;
      (in ? inside : outside)++;
    }
  }
  EXPECT_GT(inside, 500);
  EXPECT_EQ(outside, 0);
}

TEST(RenderTest, PlusSymbolIsACircleWithThePlusCutOut) {
  const View symbol =
      Image::systemName("plus.circle.fill").resizable().frame(48, 48).foregroundColor(kRed);
  const Bitmap bitmap = render(onWhite(symbol), {.size = {48, 48}, .scale = 1, .cornerRadius = 0});
  const Pixel red{255, 0, 0, 255};
  EXPECT_EQ(bitmap.pixel(24, 24), kWhite);  // the crossing of the bars
  EXPECT_EQ(bitmap.pixel(24, 16), kWhite);  // up the vertical bar
  EXPECT_EQ(bitmap.pixel(12, 12), red);     // between two arms
  EXPECT_EQ(bitmap.pixel(24, 3), red);      // beyond the bar's end
  EXPECT_EQ(bitmap.pixel(2, 2), kWhite);    // outside the circle
}

TEST(RenderTest, RegisteredAssetIsStretchedToItsFrameAndAMissingOneDrawsNothing) {
  static std::string png;  // registered bytes live as long as the process
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 6, 6);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 0, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_write_to_png_stream(
      surface,
      [](void*, const unsigned char* data, unsigned int length) {
        png.append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
      },
      nullptr);
  cairo_surface_destroy(surface);
  registerImageAsset("render-test-blue", png, 3);
  ASSERT_TRUE(hasImageAsset("render-test-blue"));
  EXPECT_EQ(imageAssetSize("render-test-blue"), (Size{2, 2}));

  const View view = HStack(VerticalAlignment::center, 0,
                           {Image("render-test-blue").resizable().frame(40, 40),
                            Image("render-test-missing").resizable().frame(40, 40)});
  const Bitmap bitmap = render(onWhite(view), {.size = {80, 40}, .scale = 1, .cornerRadius = 0});
  EXPECT_EQ(bitmap.pixel(20, 20), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(bitmap.pixel(60, 20), kWhite);
}

TEST(RenderTest, BytesThatAreNotAPngMakeAnAssetThatDrawsNothing) {
  registerImageAsset("render-test-broken", "not a png");
  EXPECT_EQ(imageAssetSize("render-test-broken"), std::nullopt);
  const Bitmap bitmap = render(onWhite(Image("render-test-broken").resizable()),
                               {.size = {20, 20}, .scale = 1, .cornerRadius = 0});
  EXPECT_EQ(bitmap.pixel(10, 10), kWhite);
}

TEST(RenderTest, ContainerBackgroundFillsTheWholeWidgetBehindTheContent) {
  const View view = View(Color::clear()).containerBackground(kRed);
  const Bitmap bitmap = render(view, {.size = kSmall, .scale = 1});
  EXPECT_EQ(bitmap.pixel(79, 79), (Pixel{255, 0, 0, 255}));
}

TEST(RenderTest, ContentMarginsInsetTheContent) {
  const RenderOptions options{
      .size = kSmall, .scale = 1, .contentMargins = true, .contentMarginFill = Color::white()};
  const Bitmap bitmap = render(Color::black(), options);
  EXPECT_EQ(bitmap.pixel(8, 79), kWhite);
  EXPECT_EQ(bitmap.pixel(17, 79), kBlack);
  EXPECT_EQ(bitmap.pixel(79, 79), kBlack);
}

TEST(RenderTest, WritesAnSvgDocument) {
  quorvel::testing::TempDir dir;
  const auto path = dir.path() / "small.svg";
  const View view = onWhite(Text::verbatim("Add portfolio"));
  ASSERT_OK(renderToSVG(view, {.size = kSmall}, path));
  const std::string svg = quorvel::testing::readFileBytes(path);
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
  EXPECT_GT(svg.size(), 500u);
}

TEST(RenderTest, RejectsUnusableSizesAndScales) {
  const View view = Color::white();
  const double nan = std::nan("");
  for (RenderOptions options :
       {RenderOptions{.size = kMedium, .scale = 0}, RenderOptions{.size = kMedium, .scale = nan},
        RenderOptions{.size = kMedium, .scale = kInfinity},
        RenderOptions{.size = kMedium, .scale = 100}, RenderOptions{.size = {nan, 10}},
        RenderOptions{.size = {0, 10}}, RenderOptions{.size = {1e9, 1e9}},
        RenderOptions{.size = {-3, 10}}}) {
    const Status status = renderToPNGData(view, options).status;
    EXPECT_EQ(status.code(), Status::Code::kInvalidArgument) << options.scale;
    EXPECT_EQ(renderToSVGData(view, options).status.code(), Status::Code::kInvalidArgument);
  }
}

TEST(RenderTest, ReportsAFileThatCannotBeWritten) {
  quorvel::testing::TempDir dir;
  const Status status =
      renderToPNG(Color::white(), {.size = kMedium}, dir.path() / "missing" / "x.png");
  EXPECT_EQ(status.code(), Status::Code::kIOError);
}

TEST(RenderTest, ThreadsRenderTheSamePixelsAtTheSameTime) {
  const View view =
      onWhite(VStack({Text::verbatim("$12,345.68").font(Font::system(22, Font::Weight::bold)),
                      Image::systemName("plus.circle.fill")}));
  const RenderOptions options{.size = kSmall, .scale = 2};
  const Bitmap reference = render(view, options);
  std::vector<Bitmap> results(4);
  std::vector<std::thread> threads;
  for (Bitmap& result : results) {
    threads.emplace_back([&view, &options, &result] {
      result = renderToBitmap(view, options).value.value_or(Bitmap{});
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const Bitmap& result : results) EXPECT_TRUE(result.pixels == reference.pixels);
}

TEST(RenderTest, AbsurdContentStillRenders) {
  const double nan = std::nan("");
  const View view = VStack({Text::verbatim(std::string(5000, 'W')).font(Font::system(nan)),
                            Text::verbatim("x").font(Font::system(1e9)),
                            View(Color(nan, kInfinity, -1, nan)).frame(1e12, nan).padding(-1e300),
                            View(Color::black()).clipShape(RoundedRectangle{nan}),
                            View(Color::black()).clipShape(RoundedRectangle{1e300})});
  for (ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
    EXPECT_OK(renderToPNGData(view, {.size = kMedium, .colorScheme = scheme}).status);
    EXPECT_OK(renderToSVGData(view, {.size = kMedium, .colorScheme = scheme}).status);
  }
}

}  // namespace
}  // namespace platform::ui
