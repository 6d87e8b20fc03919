// Whole widget mock-ups, laid out and drawn. Set QUORVEL_UI_CHECK_DIR to
// keep the PNGs for a look.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/ui/layout.h"
#include "platform/ui/render.h"
#include "platform/ui/widget_mockups.h"
#include "tests/support/test_support.h"

namespace platform::ui {
namespace {

using Pixel = Bitmap::Pixel;

constexpr double kNear = 0.01;

class MockupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    icon_ = mockups::registerSampleIcon();
    if (const char* dir = std::getenv("QUORVEL_UI_CHECK_DIR")) {
      outputDir_ = dir;
      std::filesystem::create_directories(outputDir_);
    } else {
      outputDir_ = temp_.path();
    }
  }

  Bitmap renderBoth(const View& view, Size size, const std::string& name) {
    Bitmap light;
    for (ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
      const RenderOptions options{.size = size, .scale = 3, .colorScheme = scheme};
      const std::string suffix = scheme == ColorScheme::light ? "-light.png" : "-dark.png";
      EXPECT_OK(renderToPNG(view, options, outputDir_ / (name + suffix)));
      if (scheme == ColorScheme::light)
        light = renderToBitmap(view, options).value.value_or(Bitmap{});
    }
    return light;
  }

  quorvel::testing::TempDir temp_;
  std::filesystem::path outputDir_;
  std::string icon_;
};

TEST_F(MockupTest, MediumKeepsIconAndPillAtTheirRowsTrailingEdges) {
  const View view = mockups::mediumBalance("12,345.68", icon_);
  const PlacedView root = layoutView(view, kSystemMediumSize);
  const Rect icon = findPlaced(root, "Image").front()->frame;
  const Rect pill = findPlaced(root, "clip").back()->frame;
  EXPECT_NEAR(icon.maxX(), kSystemMediumSize.width - 16, kNear);
  EXPECT_NEAR(icon.size.width, 40, kNear);
  EXPECT_NEAR(pill.maxX(), kSystemMediumSize.width - 16, kNear);
  const Rect widget{{0, 0}, kSystemMediumSize};
  for (const PlacedView* text : findPlaced(root, "Text")) {
    EXPECT_TRUE(widget.contains(text->frame)) << text->text;
    EXPECT_EQ(text->fontScale, 1) << text->text;
    EXPECT_FALSE(text->truncated) << text->text;
  }
  const Bitmap bitmap = renderBoth(view, kSystemMediumSize, "medium");
  const Pixel pillPixel =
      bitmap.pixel(static_cast<int>((pill.minX() + 3) * 3), static_cast<int>(pill.midY() * 3));
  EXPECT_EQ(pillPixel, (Pixel{35, 171, 108, 255}));
  const Pixel iconPixel =
      bitmap.pixel(static_cast<int>(icon.midX() * 3 - 40), static_cast<int>(icon.midY() * 3 + 50));
  EXPECT_NE(iconPixel, (Pixel{255, 255, 255, 255}));
}

TEST_F(MockupTest, MediumShrinksATooWideBalanceOnOneLineBesideThePill) {
  const View view = mockups::mediumBalance("123,456,789,012,345,678,901.68", icon_);
  const PlacedView root = layoutView(view, kSystemMediumSize);
  const Rect pill = findPlaced(root, "clip").back()->frame;
  const PlacedView* balance = findPlaced(root, "Text")[1];
  EXPECT_EQ(balance->lineCount, 1);
  EXPECT_LT(balance->fontScale, 1);
  EXPECT_GE(balance->fontScale, 0.5);
  EXPECT_LE(balance->frame.maxX(), pill.minX() - 8 + kNear);
  EXPECT_NEAR(pill.maxX(), kSystemMediumSize.width - 16, kNear);
  renderBoth(view, kSystemMediumSize, "medium-long");
}

TEST_F(MockupTest, SmallEmptyStateIsCentred) {
  const View view = mockups::smallEmpty();
  const PlacedView root = layoutView(view, kSystemSmallSize);
  const PlacedView* row = findPlaced(root, "HStack").front();
  EXPECT_NEAR(row->frame.midX(), kSystemSmallSize.width / 2, kNear);
  EXPECT_NEAR(row->frame.midY(), kSystemSmallSize.height / 2, kNear);
  const Bitmap bitmap = renderBoth(view, kSystemSmallSize, "small-empty");
  const Rect symbol = findPlaced(root, "Image").front()->frame;
  // The ring of the symbol, left of its centre, in the accent colour.
  EXPECT_EQ(
      bitmap.pixel(static_cast<int>((symbol.minX() + 2) * 3), static_cast<int>(symbol.midY() * 3)),
      (Pixel{0, 122, 255, 255}));
}

TEST_F(MockupTest, MediumEmptyStateWrapsItsSentenceAndSpansTheButton) {
  const View view = mockups::mediumEmpty();
  const PlacedView root = layoutView(view, kSystemMediumSize);
  const auto texts = findPlaced(root, "Text");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_GT(texts[1]->lineCount, 1);
  EXPECT_FALSE(texts[1]->truncated);
  const Rect button = findPlaced(root, "clip").front()->frame;
  EXPECT_NEAR(button.size.width, kSystemMediumSize.width - 20, kNear);
  renderBoth(view, kSystemMediumSize, "medium-empty");
}

}  // namespace
}  // namespace platform::ui
