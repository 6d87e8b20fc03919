#include "platform/ui/render.h"

#include <gtest/gtest.h>

#include <cmath>

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
const Color kBlue(0, 0, 1);
const FlexFrame kFill{.maxWidth = kInfinity, .maxHeight = kInfinity};
constexpr Pixel kWhite{255, 255, 255, 255};
constexpr Pixel kBlack{0, 0, 0, 255};
constexpr Pixel kRedPixel{255, 0, 0, 255};
constexpr Pixel kBluePixel{0, 0, 255, 255};
constexpr Pixel kClear{0, 0, 0, 0};

Bitmap render(const View& view, RenderOptions options) {
  auto result = renderToBitmap(view, options);
  EXPECT_OK(result.status);
  return result.value.value_or(Bitmap{});
}

// A plain rectangle at 2x, so that pixels are easy to find.
Bitmap flat(const View& view, Size size, ColorScheme scheme = ColorScheme::light) {
  return render(view, {.size = size, .scale = 2, .colorScheme = scheme, .cornerRadius = 0});
}

View onWhite(const View& content) { return content.frame(kFill).background(Color::white()); }

// Where pixels close to `target` lie, ignoring antialiased edges.
struct Ink {
  int count = 0, minX = 1 << 30, maxX = -1;
};
Ink inkOf(const Bitmap& bitmap, Pixel target) {
  Ink ink;
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      const Pixel p = bitmap.pixel(x, y);
      if (std::abs(p.red - target.red) < 60 && std::abs(p.green - target.green) < 60 &&
          std::abs(p.blue - target.blue) < 60 && p.alpha > 200) {
        ++ink.count;
        ink.minX = std::min(ink.minX, x);
        ink.maxX = std::max(ink.maxX, x);
      }
    }
  }
  return ink;
}

TEST(RenderTest, DynamicColoursAndUncolouredTextFollowTheAppearance) {
  const View dynamic = Color::dynamic(Color::white(), Color::black());
  const View text = Text::verbatim("HHHH").font(Font::system(20, Font::Weight::bold));
  const std::tuple<ColorScheme, Pixel, Pixel> rows[] = {{ColorScheme::light, kWhite, kBlack},
                                                        {ColorScheme::dark, kBlack, kWhite},
                                                        {ColorScheme::unspecified, kWhite, kBlack}};
  for (const auto& [scheme, fill, ink] : rows) {
    EXPECT_EQ(flat(dynamic, {20, 20}, scheme).pixel(20, 20), fill);
    const Bitmap b = flat(text.frame(kFill).background(dynamic), {100, 40}, scheme);
    EXPECT_GT(inkOf(b, ink).count, 100) << static_cast<int>(scheme);
  }
}

TEST(RenderTest, RunColoursBeatTheEnvironmentAndInnerBeatsOuter) {
  const View joined =
      (Text::verbatim("HHHH").foregroundColor(kRed) + Text::verbatim("HHHH").foregroundColor(kBlue))
          .font(Font::system(20, Font::Weight::bold));
  const Bitmap runs = flat(onWhite(joined), {200, 60});
  const Ink red = inkOf(runs, kRedPixel), blue = inkOf(runs, kBluePixel);
  ASSERT_TRUE(red.count > 100 && blue.count > 100) << red.count << " " << blue.count;
  EXPECT_LT(red.maxX, blue.minX);
  const View nested = VStack({Text::verbatim("HHHH").foregroundColor(kBlue),
                              View(Text::verbatim("HHHH")).foregroundColor(kBlue)})
                          .foregroundColor(kRed);
  const Bitmap environment = flat(onWhite(nested), {200, 100});
  EXPECT_EQ(inkOf(environment, kRedPixel).count, 0);
  EXPECT_GT(inkOf(environment, kBluePixel).count, 200);
}

// Text placed at each scale, a centred paragraph, rounded corners, the percent pill and a symbol
// cut out of its circle are left to the whole drawings of the widgets.
TEST(RenderTest, ShapesFillsAndAssetsLandOnTheirPixels) {
  // Registered bytes live as long as the process.
  static const std::string png =
      renderToPNGData(kBlue, {.size = {3, 2}, .scale = 2, .cornerRadius = 0}).value.value();
  registerImageAsset("render-test-blue", png, 2);
  registerImageAsset("render-test-broken", "not a png");
  EXPECT_EQ(imageAssetSize("render-test-broken"), std::nullopt);
  EXPECT_EQ(imageAssetSize("render-test-missing"), std::nullopt);
  const View assets =
      HStack(VerticalAlignment::top, 0,
             {Image("render-test-blue").resizable().frame(40, 40),
              Image("render-test-missing").resizable().frame(40, 40),
              Image("render-test-broken").resizable().frame(40, 40), Image("render-test-blue")});
  // Without a radius the corner is drawn. Assets fill their frames, unknown
  // and broken ones draw nothing, one without a frame keeps its own 3 x 2
  // points; the content-margin band shows its fill.
  const Bitmap square = render(Color::black(), {.size = {300, 150}, .scale = 3, .cornerRadius = 0}),
               images = render(onWhite(assets), {.size = {123, 40}, .scale = 1, .cornerRadius = 0}),
               behind = render(View(Color::clear()).containerBackground(kRed),
                               {.size = {100, 100}, .scale = 1}),
               inset = render(Color::black(), {.size = {100, 100},
                                               .scale = 1,
                                               .contentMargins = true,
                                               .contentMarginFill = Color::white()});
  const Bitmap spare{1, 1, {0xff000000, 0xffffffff}};  // a point past its size is not read
  const std::tuple<const Bitmap&, int, int, Pixel> probes[] = {
      {spare, 0, 1, kClear},        {spare, 1, 0, kClear},        {square, 0, 0, kBlack},
      {images, 20, 20, kBluePixel}, {images, 33, 8, kBluePixel},  {images, 60, 20, kWhite},
      {images, 100, 20, kWhite},    {images, 121, 1, kBluePixel}, {images, 121, 3, kWhite},
      {behind, 50, 50, kRedPixel},  {behind, 0, 0, kClear},       {inset, 8, 50, kWhite},
      {inset, 15, 50, kWhite},      {inset, 16, 50, kBlack},      {inset, 50, 50, kBlack},
      {inset, 83, 50, kBlack},      {inset, 84, 50, kWhite}};
  for (const auto& probe : probes) {
    const auto& [bitmap, x, y, pixel] = probe;
    EXPECT_EQ(bitmap.pixel(x, y), pixel) << "probe " << &probe - probes;
  }
  // Registered again with other bytes of the same length: drawn anew.
  static const std::string navy =
      renderToPNGData(Color(0, 0, 0.5), {.size = {3, 2}, .scale = 2, .cornerRadius = 0})
          .value.value();
  ASSERT_EQ(navy.size(), png.size());
  registerImageAsset("render-test-blue", navy, 2);
  EXPECT_EQ(render(onWhite(assets), {.size = {123, 40}, .scale = 1}).pixel(20, 20),
            (Pixel{0, 0, 128, 255}));
}

// A shape drawn large: its ink (the sum of alpha over the picture) is the
// area its outline encloses, which any point of the outline moves.
TEST(RenderTest, ShapesEncloseTheAreaOfTheirOutline) {
  const std::pair<View, long> rows[] = {
      {View(Color::black()).clipShape(RoundedRectangle{30, RoundedCornerStyle::circular}), 9408930},
      {View(Color::black()).clipShape(RoundedRectangle{30, RoundedCornerStyle::continuous}),
       9372158},
      {View(Image::systemName("plus.circle.fill").resizable()).foregroundColor(Color::black()),
       7189386}};
  for (const auto& [view, ink] : rows) {
    const Bitmap drawn = render(view, {.size = {100, 100}, .scale = 2, .cornerRadius = 0});
    long sum = 0;
    for (int y = 0; y < drawn.height; ++y)
      for (int x = 0; x < drawn.width; ++x) sum += drawn.pixel(x, y).alpha;
    EXPECT_EQ(sum, ink);  // each row is known by its ink
  }
}

TEST(RenderTest, WritesFilesRejectsUnusableSizesAndDrawsAbsurdContent) {
  const double nan = std::nan("");
  const Size ok{100, 100};
  for (RenderOptions options :
       {RenderOptions{.size = ok, .scale = 0}, RenderOptions{.size = ok, .scale = nan},
        RenderOptions{.size = ok, .scale = 4.01}, RenderOptions{.size = {nan, 10}},
        RenderOptions{.size = {10, 0}}, RenderOptions{.size = {4097, 10}},
        RenderOptions{.size = {-3, 10}}}) {
    EXPECT_EQ(renderToPNGData(Color::white(), options).status.code(),
              Status::Code::kInvalidArgument)
        << options.size.width << "x" << options.size.height << "@" << options.scale;
    EXPECT_EQ(renderToSVGData(Color::white(), options).status.code(),
              Status::Code::kInvalidArgument);
  }
  EXPECT_OK(renderToPNGData(Color::white(), {.size = {4096, 1}, .scale = 4}).status);
  // Absurd content still renders.
  const View view = VStack({Text::verbatim(std::string(5000, 'W')).font(Font::system(nan)),
                            Text::verbatim("x").font(Font::system(1e9)),
                            View(Color(nan, kInfinity, -1, nan)).frame(1e12, nan).padding(-1e300),
                            View(Color::black()).clipShape(RoundedRectangle{nan}),
                            View(Color::black()).clipShape(RoundedRectangle{1e300})});
  EXPECT_OK(renderToPNGData(view, {.size = ok}).status);
  EXPECT_OK(renderToSVGData(view, {.size = ok, .colorScheme = ColorScheme::dark}).status);
  quorvel::testing::TempDir dir;
  EXPECT_EQ(renderToPNG(Color::white(), {.size = ok}, dir.path() / "no" / "x.png").code(),
            Status::Code::kIOError);
  EXPECT_EQ(renderToSVG(Color::white(), {.size = ok}, dir.path() / "no" / "x.svg").code(),
            Status::Code::kIOError);
  // The PNG's size at each scale is left to the end-to-end suite.
  ASSERT_OK(renderToSVG(Color::black(), {.size = {300, 150}}, dir.path() / "black.svg"));
  const std::string svg = quorvel::testing::readFileBytes(dir.path() / "black.svg");
  EXPECT_TRUE(svg.find("<svg") != svg.npos && svg.find("width=\"900\" height=\"450\"") != svg.npos);
}

}  // namespace
}  // namespace platform::ui
