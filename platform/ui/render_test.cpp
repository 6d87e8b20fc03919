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
Ink inkOf(const Bitmap& bitmap, Pixel target, int fromY = 0, int toY = 1 << 30) {
  Ink ink;
  for (int y = std::max(0, fromY); y < std::min(bitmap.height, toY); ++y) {
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

TEST(RenderTest, TextInkStaysInsideItsFrameAtEveryScale) {
  const View text = Text::verbatim("Current Balance 123")
                        .font(Font::system(22, Font::Weight::bold))
                        .foregroundColor(kRed);
  const Rect frame = findPlaced(layoutView(onWhite(text), {300, 100}), "Text").front()->frame;
  for (double scale : {1.0, 3.0}) {
    const Bitmap b = render(onWhite(text), {.size = {300, 100}, .scale = scale, .cornerRadius = 0});
    const Ink ink = inkOf(b, kRedPixel);
    EXPECT_GT(ink.count, 150 * scale * scale);
    EXPECT_GE(ink.minX / scale, frame.minX() - 1);
    EXPECT_LE(ink.maxX / scale, frame.maxX() + 1);
    EXPECT_EQ(inkOf(b, kRedPixel, 0, static_cast<int>(frame.minY() * scale) - 2).count, 0);
    EXPECT_EQ(inkOf(b, kRedPixel, static_cast<int>(frame.maxY() * scale) + 2).count, 0);
  }
}

TEST(RenderTest, CentredMultilineTextCentresEveryLine) {
  const View text = Text::verbatim("HHHHHHHHHH HHHH")
                        .font(Font::system(14))
                        .foregroundColor(kRed)
                        .multilineTextAlignment(TextAlignment::center)
                        .frame(110, std::nullopt);
  const PlacedView root = layoutView(onWhite(text), {200, 100});  // findPlaced points into it
  const PlacedView* placed = findPlaced(root, "Text").front();
  ASSERT_EQ(placed->lineCount, 2);
  const Bitmap b = flat(onWhite(text), {200, 100});
  const int line = static_cast<int>(14 * 1.193359 * 2),
            top = static_cast<int>(placed->frame.minY() * 2);
  const Ink first = inkOf(b, kRedPixel, top, top + line);
  const Ink second = inkOf(b, kRedPixel, top + line, top + 2 * line);
  EXPECT_LT(second.maxX - second.minX, first.maxX - first.minX);
  EXPECT_NEAR((first.minX + first.maxX) / 2.0, 200, 3);
  EXPECT_NEAR((second.minX + second.maxX) / 2.0, 200, 3);
}

TEST(RenderTest, ShapesFillsAndAssetsLandOnTheirPixels) {
  // Registered bytes live as long as the process.
  static const std::string png =
      renderToPNGData(kBlue, {.size = {3, 2}, .scale = 2, .cornerRadius = 0}).value.value();
  registerImageAsset("render-test-blue", png, 2);
  registerImageAsset("render-test-broken", "not a png");
  EXPECT_TRUE(hasImageAsset("render-test-blue") && !hasImageAsset("render-test-missing"));
  EXPECT_EQ(imageAssetSize("render-test-blue"), (Size{3, 2}));
  EXPECT_EQ(imageAssetSize("render-test-broken"), std::nullopt);
  EXPECT_EQ(imageAssetSize("render-test-missing"), std::nullopt);
  const View assets =
      HStack(VerticalAlignment::top, 0,
             {Image("render-test-blue").resizable().frame(40, 40),
              Image("render-test-missing").resizable().frame(40, 40),
              Image("render-test-broken").resizable().frame(40, 40), Image("render-test-blue")});
  const View pill = Text::verbatim("2.88%")
                        .font(Font::system(14, Font::Weight::semibold))
                        .padding(EdgeInsets{6, 8, 6, 8})
                        .background(Color(35 / 255.0, 171 / 255.0, 108 / 255.0))
                        .clipShape(RoundedRectangle{8})
                        .foregroundColor(Color::white());
  const Pixel green{35, 171, 108, 255};
  const View plus = Image::systemName("plus.circle.fill").resizable().foregroundColor(kRed);
  // 22 pt continuous corners: the curve reaches the diagonal well inside the
  // square corner; the edges between the corners are drawn to the pixel. The
  // pill's padding is filled, its corners rounded away; the plus is cut out of
  // its circle; assets fill their frames, unknown and broken ones draw
  // nothing, one without a frame keeps its own 3 x 2 points; the
  // content-margin band shows its fill.
  const Bitmap round = render(Color::black(), {.size = {300, 150}, .scale = 3}),
               square = render(Color::black(), {.size = {300, 150}, .scale = 3, .cornerRadius = 0}),
               pills = flat(onWhite(pill), {200, 100}),
               circle = render(onWhite(plus.frame(48, 48)),
                               {.size = {48, 48}, .scale = 1, .cornerRadius = 0}),
               images = render(onWhite(assets), {.size = {123, 40}, .scale = 1, .cornerRadius = 0}),
               behind = render(View(Color::clear()).containerBackground(kRed),
                               {.size = {100, 100}, .scale = 1}),
               inset = render(Color::black(), {.size = {100, 100},
                                               .scale = 1,
                                               .contentMargins = true,
                                               .contentMarginFill = Color::white()});
  const std::tuple<const Bitmap&, int, int, Pixel> probes[] = {
      {round, 0, 0, kClear},       {round, 899, 0, kClear},      {round, 0, 449, kClear},
      {round, 899, 449, kClear},   {round, 18, 18, kClear},      {round, 27, 27, kBlack},
      {round, 0, 225, kBlack},     {round, 450, 0, kBlack},      {round, 899, 225, kBlack},
      {round, 450, 449, kBlack},   {square, 0, 0, kBlack},       {pills, 150, 100, green},
      {pills, 249, 100, green},    {pills, 200, 75, green},      {pills, 143, 72, kWhite},
      {pills, 256, 127, kWhite},   {pills, 138, 100, kWhite},    {circle, 24, 24, kWhite},
      {circle, 24, 16, kWhite},    {circle, 16, 24, kWhite},     {circle, 12, 12, kRedPixel},
      {circle, 36, 36, kRedPixel}, {circle, 24, 3, kRedPixel},   {circle, 2, 2, kWhite},
      {circle, 46, 46, kWhite},    {images, 20, 20, kBluePixel}, {images, 33, 8, kBluePixel},
      {images, 60, 20, kWhite},    {images, 100, 20, kWhite},    {images, 121, 1, kBluePixel},
      {images, 121, 3, kWhite},    {behind, 50, 50, kRedPixel},  {behind, 0, 0, kClear},
      {inset, 8, 50, kWhite},      {inset, 15, 50, kWhite},      {inset, 16, 50, kBlack},
      {inset, 50, 50, kBlack},     {inset, 83, 50, kBlack},      {inset, 84, 50, kWhite}};
  for (const auto& probe : probes) {
    const auto& [bitmap, x, y, pixel] = probe;
    EXPECT_EQ(bitmap.pixel(x, y), pixel) << "probe " << &probe - probes;
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
