#include <gtest/gtest.h>

#include "platform/ui/layout.h"
#include "platform/ui/render.h"
#include "platform/ui/text.h"
#include "platform/ui/text_engine.h"
#include "tests/support/test_support.h"

namespace platform::ui {
namespace {

const Color kRed(1, 0, 0);
const Color kBlue(0, 0, 1);
const FlexFrame kFill{.maxWidth = kInfinity, .maxHeight = kInfinity};

struct Ink {
  int count = 0;
  int minX = 1 << 30;
  int maxX = -1;
};

// Where pixels close to `target` (ignoring antialiased edges) lie.
Ink inkOf(const Bitmap& bitmap, Bitmap::Pixel target, int fromY = 0, int toY = 1 << 30) {
  Ink ink;
  for (int y = std::max(0, fromY); y < std::min(bitmap.height, toY); ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      const Bitmap::Pixel p = bitmap.pixel(x, y);
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

Bitmap render(const View& view, Size size, ColorScheme scheme = ColorScheme::light) {
  auto result =
      renderToBitmap(view, {.size = size, .scale = 2, .colorScheme = scheme, .cornerRadius = 0});
  EXPECT_OK(result.status);
  return result.value.value_or(Bitmap{});
}

TEST(TextRenderTest, JoinedRunsDrawInTheirOwnColours) {
  const View text =
      (Text::verbatim("HHHH").foregroundColor(kRed) + Text::verbatim("HHHH").foregroundColor(kBlue))
          .font(Font::system(20, Font::Weight::bold));
  const Bitmap bitmap = render(text.frame(kFill).background(Color::white()), {200, 60});
  const Ink red = inkOf(bitmap, {255, 0, 0, 255});
  const Ink blue = inkOf(bitmap, {0, 0, 255, 255});
  ASSERT_GT(red.count, 100);
  ASSERT_GT(blue.count, 100);
  EXPECT_LT(red.maxX, blue.minX);
}

TEST(TextRenderTest, RunColourBeatsTheEnvironmentAndInnerEnvironmentBeatsOuter) {
  const View view = VStack({Text::verbatim("HHHH").foregroundColor(kBlue),
                            View(Text::verbatim("HHHH")).foregroundColor(kBlue)})
                        .foregroundColor(kRed)
                        .frame(kFill)
                        .background(Color::white());
  const Bitmap bitmap = render(view, {200, 100});
  EXPECT_EQ(inkOf(bitmap, {255, 0, 0, 255}).count, 0);
  EXPECT_GT(inkOf(bitmap, {0, 0, 255, 255}).count, 100);
}

TEST(TextRenderTest, UncolouredTextIsBlackOnLightAndWhiteOnDark) {
  const View text = Text::verbatim("HHHH").font(Font::system(20, Font::Weight::bold));
  const Bitmap light = render(text.frame(kFill).background(Color::white()), {100, 40});
  EXPECT_GT(inkOf(light, {0, 0, 0, 255}).count, 100);
  const Bitmap dark =
      render(text.frame(kFill).background(Color::black()), {100, 40}, ColorScheme::dark);
  EXPECT_GT(inkOf(dark, {255, 255, 255, 255}).count, 100);
}

TEST(TextRenderTest, CentredMultilineTextCentresEveryLine) {
  // Two lines of different lengths; each one's ink is centred on the frame.
  const View text = Text::verbatim("HHHHHHHHHH HHHH")
                        .font(Font::system(14))
                        .foregroundColor(kRed)
                        .multilineTextAlignment(TextAlignment::center)
                        .frame(110, std::nullopt);
  const View view = text.frame(kFill).background(Color::white());
  const Size size{200, 100};
  const PlacedView root = layoutView(view, size);
  const PlacedView* placed = findPlaced(root, "Text").front();
  ASSERT_EQ(placed->lineCount, 2);
  const Bitmap bitmap = render(view, size);
  const int lineHeight = static_cast<int>(14 * detail::kLineHeightEm * 2);
  const int top = static_cast<int>(placed->frame.minY() * 2);
  const Ink first = inkOf(bitmap, {255, 0, 0, 255}, top, top + lineHeight);
  const Ink second = inkOf(bitmap, {255, 0, 0, 255}, top + lineHeight, top + 2 * lineHeight);
  ASSERT_GT(first.count, 0);
  ASSERT_GT(second.count, 0);
  EXPECT_LT(second.maxX - second.minX, first.maxX - first.minX);
  EXPECT_NEAR((first.minX + first.maxX) / 2.0, 200, 3);
  EXPECT_NEAR((second.minX + second.maxX) / 2.0, 200, 3);
}

TEST(TextRenderTest, TrackingFollowsTheSystemFontsTable) {
  EXPECT_DOUBLE_EQ(detail::trackingForSize(17), -0.43);
  EXPECT_DOUBLE_EQ(detail::trackingForSize(22), -0.26);
  EXPECT_NEAR(detail::trackingForSize(21), -0.355, 1e-9);
  EXPECT_DOUBLE_EQ(detail::trackingForSize(4), 0.06);
  EXPECT_DOUBLE_EQ(detail::trackingForSize(90), 0.38);
}

TEST(TextRenderTest, LayoutDoesNotDependOnThePixelScale) {
  // Text measures without hinting, so the same frames come out whatever the
  // render's scale: the widths a test checks are the widths drawn at 3x.
  const View text = Text::verbatim("$12,345.68").font(Font::system(22, Font::Weight::bold));
  const Rect frame = layoutView(text, {300, 100}).frame;
  const Bitmap one = renderToBitmap(text.foregroundColor(kRed),
                                    {.size = {300, 100}, .scale = 1, .cornerRadius = 0})
                         .value.value();
  const Bitmap three = renderToBitmap(text.foregroundColor(kRed),
                                      {.size = {300, 100}, .scale = 3, .cornerRadius = 0})
                           .value.value();
  const Ink inkOne = inkOf(one, {255, 0, 0, 255});
  const Ink inkThree = inkOf(three, {255, 0, 0, 255});
  EXPECT_NEAR(inkOne.minX, inkThree.minX / 3.0, 1.5);
  EXPECT_NEAR(inkOne.maxX, inkThree.maxX / 3.0, 1.5);
  EXPECT_GE(inkThree.minX / 3.0, frame.minX() - 1);
  EXPECT_LE(inkThree.maxX / 3.0, frame.maxX() + 1);
}

}  // namespace
}  // namespace platform::ui
