#include "platform/ui/layout.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/ui/image.h"
#include "platform/ui/text.h"
#include "platform/ui/text_engine.h"

namespace platform::ui {
namespace {

constexpr double kNear = 0.01;
const FlexFrame kFill{.maxWidth = kInfinity, .maxHeight = kInfinity};
const FlexFrame kFillLeading{
    .maxWidth = kInfinity, .maxHeight = kInfinity, .alignment = Alignment::leading};
const std::string kLongText =
    "Keep track of your profits, losses and portfolio valuation. Start building your portfolio "
    "today.";

void expectRect(const Rect& actual, double x, double y, double w, double h) {
  EXPECT_NEAR(actual.origin.x, x, kNear);
  EXPECT_NEAR(actual.origin.y, y, kNear);
  EXPECT_NEAR(actual.size.width, w, kNear);
  EXPECT_NEAR(actual.size.height, h, kNear);
}

const PlacedView& only(const PlacedView& root, const std::string& type) {
  static const PlacedView kNone;
  const auto found = findPlaced(root, type);
  EXPECT_EQ(found.size(), 1u) << type;
  return found.empty() ? kNone : *found.front();
}

View box(double width, double height) { return View(Color::black()).frame(width, height); }

TEST(LayoutTest, HStackPlacesChildrenLeftToRightWithItsSpacing) {
  const PlacedView root =
      layoutView(HStack(VerticalAlignment::top, 5, {box(30, 10), box(50, 20)}), {200, 100});
  const auto colors = findPlaced(root, "Color");
  ASSERT_EQ(colors.size(), 2u);
  // 85 wide and 20 tall, centred in the offered 200 x 100.
  expectRect(root.frame, 57.5, 40, 85, 20);
  expectRect(colors[0]->frame, 57.5, 40, 30, 10);
  expectRect(colors[1]->frame, 92.5, 40, 50, 20);
}

TEST(LayoutTest, StacksUseEightPointsBetweenChildrenByDefault) {
  const PlacedView root = layoutView(VStack({box(10, 10), box(10, 10)}), {100, 100});
  EXPECT_NEAR(root.frame.size.height, 28, kNear);
}

TEST(LayoutTest, VStackCentresOrAlignsChildrenOnItsWidth) {
  const PlacedView leading =
      layoutView(VStack(HorizontalAlignment::leading, 0, {box(40, 10), box(20, 10)}), {100, 100});
  const auto colors = findPlaced(leading, "Color");
  ASSERT_EQ(colors.size(), 2u);
  EXPECT_NEAR(colors[0]->frame.origin.x, colors[1]->frame.origin.x, kNear);
  const PlacedView centred =
      layoutView(VStack(HorizontalAlignment::center, 0, {box(40, 10), box(20, 10)}), {100, 100});
  const auto centredColors = findPlaced(centred, "Color");
  EXPECT_NEAR(centredColors[0]->frame.midX(), centredColors[1]->frame.midX(), kNear);
}

TEST(LayoutTest, SpacersShareTheFreeSpaceEvenly) {
  const PlacedView root = layoutView(
      VStack(HorizontalAlignment::center, 0, {Spacer(), box(20, 20), Spacer()}), {100, 100});
  expectRect(only(root, "Color").frame, 40, 40, 20, 20);
  const auto spacers = findPlaced(root, "Spacer");
  ASSERT_EQ(spacers.size(), 2u);
  EXPECT_NEAR(spacers[0]->frame.size.height, 40, kNear);
  EXPECT_NEAR(spacers[1]->frame.size.height, 40, kNear);
}

TEST(LayoutTest, SpacersAreSizedAfterFlexibleSiblingsButKeepTheirMinimum) {
  const PlacedView root = layoutView(HStack(VerticalAlignment::center, std::nullopt,
                                            {View(Color::black()).frame(kFill), Spacer()}),
                                     {200, 50});
  // 200 - 8 spacing - 8 spacer minimum.
  EXPECT_NEAR(only(root, "Color").frame.size.width, 184, kNear);
  EXPECT_NEAR(only(root, "Spacer").frame.size.width, 8, kNear);
}

TEST(LayoutTest, LessFlexibleChildrenAreSizedFirst) {
  // One child is capped at 100, the other wants at least 100: from 150 the
  // capped one gets half, the other its minimum, and the stack overflows.
  const PlacedView root =
      layoutView(HStack(VerticalAlignment::center, 0,
                        {View(Color::black()).frame(FlexFrame{.maxWidth = 100}),
                         View(Color::white()).frame(FlexFrame{.minWidth = 100})}),
                 {150, 10});
  const auto colors = findPlaced(root, "Color");
  ASSERT_EQ(colors.size(), 2u);
  EXPECT_NEAR(colors[0]->frame.size.width, 75, kNear);
  EXPECT_NEAR(colors[1]->frame.size.width, 100, kNear);
  EXPECT_NEAR(root.frame.size.width, 175, kNear);
}

TEST(LayoutTest, FlexibleFrameFillsWhatItIsOfferedAndAlignsItsContent) {
  const PlacedView root =
      layoutView(Text::verbatim("Hi").font(Font::system(14)).frame(kFillLeading), {200, 100});
  expectRect(root.frame, 0, 0, 200, 100);
  const PlacedView& text = only(root, "Text");
  EXPECT_NEAR(text.frame.origin.x, 0, kNear);
  EXPECT_NEAR(text.frame.midY(), 50, kNear);
  EXPECT_NEAR(text.frame.size.height, 14 * detail::kLineHeightEm, kNear);
}

TEST(LayoutTest, FixedFrameAnswersItsSizeWhateverTheChildWants) {
  const PlacedView root = layoutView(View(Color::black()).frame(40, 30), {100, 100});
  expectRect(root.frame, 30, 35, 40, 30);
  expectRect(only(root, "Color").frame, 30, 35, 40, 30);
  const PlacedView narrow =
      layoutView(Text::verbatim(kLongText).lineLimit(1).frame(20, std::nullopt), {300, 100});
  EXPECT_NEAR(narrow.frame.size.width, 20, kNear);
}

TEST(LayoutTest, PaddingInsetsTheChildOnTheChosenEdges) {
  const PlacedView root =
      layoutView(View(Color::black()).padding(EdgeInsets{1, 2, 3, 4}), {100, 50});
  expectRect(root.frame, 0, 0, 100, 50);
  expectRect(only(root, "Color").frame, 2, 1, 94, 46);
  const PlacedView vertical = layoutView(
      View(Color::black()).padding(EdgeInsets{4, 4, 4, 4}, EdgeSet::top | EdgeSet::bottom),
      {100, 50});
  expectRect(only(vertical, "Color").frame, 0, 4, 100, 42);
}

TEST(LayoutTest, AspectRatioFitsTheOfferedSpace) {
  const PlacedView root =
      layoutView(View(Color::black()).aspectRatio(2, ContentMode::fit), {100, 100});
  expectRect(only(root, "Color").frame, 0, 25, 100, 50);
}

TEST(LayoutTest, ResizableImageFitsAFixedFrame) {
  const PlacedView root = layoutView(Image::systemName("plus.circle.fill")
                                         .resizable()
                                         .aspectRatio(std::nullopt, ContentMode::fit)
                                         .frame(40, 40),
                                     {100, 100});
  expectRect(only(root, "Image").frame, 30, 30, 40, 40);
}

TEST(LayoutTest, OneLineTextShrinksBeforeItTruncates) {
  const View text = Text::verbatim("$123,456,789.68").font(Font::system(22, Font::Weight::bold));
  const double natural = layoutView(text.lineLimit(1), {1000, 100}).frame.size.width;
  const PlacedView shrunk = layoutView(
      text.minimumScaleFactor(0.5).lineLimit(1).frame(natural * 0.75, std::nullopt), {1000, 100});
  const PlacedView& placed = only(shrunk, "Text");
  EXPECT_FALSE(placed.truncated);
  EXPECT_EQ(placed.text, "$123,456,789.68");
  EXPECT_GT(placed.fontScale, 0.5);
  EXPECT_LT(placed.fontScale, 1);
  EXPECT_LE(placed.frame.size.width, natural * 0.75 + kNear);
  EXPECT_NEAR(placed.frame.size.height, 22 * detail::kLineHeightEm * placed.fontScale, kNear);
}

TEST(LayoutTest, OneLineTextTruncatesAtItsSmallestSizeAndNeverOverflows) {
  const PlacedView root = layoutView(Text::verbatim(kLongText)
                                         .font(Font::system(22, Font::Weight::bold))
                                         .minimumScaleFactor(0.5)
                                         .lineLimit(1)
                                         .frame(120, std::nullopt),
                                     {300, 100});
  const PlacedView& text = only(root, "Text");
  EXPECT_TRUE(text.truncated);
  EXPECT_DOUBLE_EQ(text.fontScale, 0.5);
  EXPECT_EQ(text.lineCount, 1);
  ASSERT_GT(text.text.size(), 3u);
  EXPECT_EQ(text.text.substr(text.text.size() - 3), "…");
  EXPECT_EQ(kLongText.rfind(text.text.substr(0, text.text.size() - 3), 0), 0u);
  EXPECT_TRUE(root.frame.contains(text.frame)) << text.frame.size.width;
}

TEST(LayoutTest, TextShowsNothingWhenNotEvenAnEllipsisFits) {
  const PlacedView root =
      layoutView(Text::verbatim(kLongText).lineLimit(1).frame(1, std::nullopt), {300, 100});
  const PlacedView& text = only(root, "Text");
  EXPECT_EQ(text.text, "");
  EXPECT_LE(text.frame.size.width, 1);
}

TEST(LayoutTest, TextWithoutLineLimitWrapsAtTheOfferedWidth) {
  const PlacedView root = layoutView(Text::verbatim(kLongText).font(Font::system(14)), {150, 500});
  const PlacedView& text = only(root, "Text");
  EXPECT_GT(text.lineCount, 2);
  EXPECT_LE(text.frame.size.width, 150 + kNear);
  EXPECT_NEAR(text.frame.size.height, text.lineCount * 14 * detail::kLineHeightEm, kNear);
}

TEST(LayoutTest, FixedSizeVerticalLetsWrappedTextGrowPastTheOfferedHeight) {
  const View text = Text::verbatim(kLongText).font(Font::system(14));
  const PlacedView clipped = layoutView(text.frame(150, 20), {300, 300});
  EXPECT_EQ(only(clipped, "Text").lineCount, 1);
  EXPECT_TRUE(only(clipped, "Text").truncated);
  const PlacedView grown = layoutView(text.fixedSize(false, true).frame(150, 20), {300, 300});
  const PlacedView& placed = only(grown, "Text");
  EXPECT_GT(placed.lineCount, 2);
  EXPECT_GT(placed.frame.size.height, 20);
  EXPECT_LE(placed.frame.size.width, 150 + kNear);
}

TEST(LayoutTest, FilledTextKeepsItsRowSoTheTrailingViewStaysInside) {
  const View caption = Text::verbatim(kLongText)
                           .font(Font::system(14, Font::Weight::semibold))
                           .frame(kFillLeading)
                           .aspectRatio(std::nullopt, ContentMode::fill)
                           .minimumScaleFactor(0.5)
                           .lineLimit(1);
  const PlacedView root =
      layoutView(HStack(VerticalAlignment::center, 8, {caption, box(40, 40)}), {306, 120});
  const PlacedView& icon = only(root, "Color");
  EXPECT_NEAR(icon.frame.maxX(), 306, kNear);
  const PlacedView& text = only(root, "Text");
  EXPECT_LE(text.frame.maxX(), icon.frame.minX() - 8 + kNear);
  EXPECT_TRUE(text.truncated);
}

TEST(LayoutTest, RootIsCentredInTheOfferedArea) {
  const PlacedView root = layoutView(box(300, 300), {100, 100});
  expectRect(root.frame, -100, -100, 300, 300);
}

TEST(LayoutTest, UnusableNumbersNeverMakeUnusableFrames) {
  const double nan = std::nan("");
  const View view =
      VStack(HorizontalAlignment::leading, nan,
             {View(Color::black()).frame(nan, kInfinity),
              View(Color::white()).padding(EdgeInsets{kInfinity, -kInfinity, nan, 1e300}),
              Text::verbatim("").frame(FlexFrame{.minWidth = nan, .maxWidth = -5}),
              Text::verbatim(std::string(100000, 'x')).minimumScaleFactor(nan).lineLimit(-3),
              Spacer(nan), View(Color::black()).aspectRatio(0.0, ContentMode::fill)});
  for (Size size : {Size{100, 100}, Size{nan, kInfinity}, Size{0, 0}, Size{-5, 1e308}}) {
    const PlacedView root = layoutView(view, size);
    std::vector<const PlacedView*> stack{&root};
    while (!stack.empty()) {
      const PlacedView* node = stack.back();
      stack.pop_back();
      EXPECT_FALSE(std::isnan(node->frame.origin.x) || std::isnan(node->frame.origin.y) ||
                   std::isnan(node->frame.size.width) || std::isnan(node->frame.size.height))
          << node->type;
      EXPECT_GE(node->frame.size.width, 0) << node->type;
      for (const PlacedView& child : node->children) stack.push_back(&child);
    }
  }
}

TEST(LayoutTest, InvalidUtf8AndEmptyTextAreHarmless) {
  const PlacedView root = layoutView(VStack({Text::verbatim("\xff\xfe ok \xc3"), Text::verbatim(""),
                                             Text(LocalizedStringKey(""))}),
                                     {100, 100});
  const auto texts = findPlaced(root, "Text");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_GT(texts[0]->frame.size.width, 0);
  EXPECT_EQ(texts[1]->frame.size.width, 0);
}

}  // namespace
}  // namespace platform::ui
