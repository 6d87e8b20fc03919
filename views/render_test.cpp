// Draws both widgets in every state and appearance and probes the pixels
// where the views must put them. The PNGs are kept under
// $QUORVEL_RENDER_DIR when it is set, for a person to look at.
#include "platform/ui/render.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/foundation/bundle.h"
#include "tests/support/test_support.h"
#include "views/entry_views.h"

namespace quorvel {
namespace {

using platform::ui::Bitmap;
using platform::ui::ColorScheme;
using platform::ui::RenderOptions;
using Pixel = Bitmap::Pixel;

struct State {
  const char* name;
  std::optional<PortfolioWidget> portfolio;
};

const State kStates[] = {
    {"empty", std::nullopt},
    {"gain", PortfolioWidget{12345.678, 12000}},
    {"loss", PortfolioWidget{100, 150}},
    {"flat", PortfolioWidget{50, 50}},
    {"zeros", PortfolioWidget{0, 0}},
    {"wide", PortfolioWidget{123456789012.34, 123456789000}},
};

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::foundation::setMainBundleIdentifier("com.tavrin.quorvel.widgets");
  }

  Bitmap render(const platform::ui::View& view, platform::ui::Size size, ColorScheme scheme,
                const std::string& name) {
    RenderOptions options;
    options.size = size;
    options.scale = 2;
    options.colorScheme = scheme;
    if (const char* dir = std::getenv("QUORVEL_RENDER_DIR"); dir && *dir) {
      std::filesystem::create_directories(dir);
      EXPECT_OK(
          platform::ui::renderToPNG(view, options, std::filesystem::path(dir) / (name + ".png")));
    }
    auto bitmap = platform::ui::renderToBitmap(view, options);
    EXPECT_OK(bitmap.status);
    return bitmap.value ? *bitmap.value : Bitmap{};
  }

  quorvel::testing::ScopedHome home_;
};

bool near(Pixel p, int r, int g, int b, int tolerance = 6) {
  return std::abs(p.red - r) <= tolerance && std::abs(p.green - g) <= tolerance &&
         std::abs(p.blue - b) <= tolerance && p.alpha == 255;
}

// Counts pixels within `tolerance` of (r, g, b) in a region.
int count(const Bitmap& bitmap, int x0, int y0, int x1, int y1, int r, int g, int b,
          int tolerance = 24) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) n += near(bitmap.pixel(x, y), r, g, b, tolerance);
  }
  return n;
}

// Pixels that differ from the background inside a region: ink.
int ink(const Bitmap& bitmap, int x0, int y0, int x1, int y1, Pixel background) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      Pixel p = bitmap.pixel(x, y);
      n += std::abs(p.red - background.red) + std::abs(p.green - background.green) +
               std::abs(p.blue - background.blue) >
           60;
    }
  }
  return n;
}

TEST_F(RenderTest, EveryStateDrawsOnTheThemedBackgroundInsideRoundedCorners) {
  for (ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
    const bool dark = scheme == ColorScheme::dark;
    const Pixel background = dark ? Pixel{0, 0, 0, 255} : Pixel{255, 255, 255, 255};
    for (const State& state : kStates) {
      const std::string suffix = std::string(state.name) + (dark ? "-dark" : "-light");
      QuorvelSimpleEntry entry{{}, state.portfolio};
      Bitmap small =
          render(QuorvelWidgetsEntrySmallView{entry, "quorvel-widget-portfolio://"}.body(),
                 {170, 170}, scheme, "small-" + suffix);
      Bitmap medium =
          render(QuorvelWidgetsEntryMediumView{entry, "quorvel-widget-portfolio://"}.body(),
                 {364, 170}, scheme, "medium-" + suffix);
      for (const Bitmap* b : {&small, &medium}) {
        ASSERT_GT(b->width, 0);
        EXPECT_EQ(b->pixel(0, 0).alpha, 0)
            << suffix << ": the corner lies outside the rounded container";
        EXPECT_EQ(b->pixel(b->width / 2, 2), background) << suffix;
        // Something is drawn, and nothing spills into the outer 2 px band.
        EXPECT_GT(ink(*b, 0, 0, b->width, b->height, background), 200) << suffix;
        // (between the rounded corners: 22 pt at scale 2)
        EXPECT_EQ(ink(*b, 48, 0, b->width - 48, 3, background), 0) << suffix;
      }
    }
  }
}

TEST_F(RenderTest, PillTakesTheColourOfTheChangeAtTheTrailingEdge) {
  struct Row {
    PortfolioWidget p;
    int r, g, b;
  };
  const Row rows[] = {
      {{12345.678, 12000}, 35, 171, 108}, {{100, 150}, 255, 53, 78}, {{50, 50}, 147, 154, 164}};
  for (const Row& row : rows) {
    Bitmap medium = render(QuorvelWidgetsEntryMediumView{{{}, row.p}, "x://"}.body(), {364, 170},
                           ColorScheme::light, "pill");
    const int w = medium.width;
    const int h = medium.height;
    // The pill sits in the right third, below the header; the left keeps only text.
    EXPECT_GT(count(medium, w * 2 / 3, h / 3, w, h, row.r, row.g, row.b, 8), 300) << row.r;
  }
}

TEST_F(RenderTest, TooWideBalanceStaysOnOneLineInsideTheWidget) {
  Bitmap small =
      render(QuorvelWidgetsEntrySmallView{{{}, PortfolioWidget{123456789012.34, 1}}, "x://"}.body(),
             {170, 170}, ColorScheme::light, "wide");
  const Pixel white{255, 255, 255, 255};
  // The padding band on each side stays clear of text (8 pt at scale 2).
  EXPECT_EQ(ink(small, small.width - 14, 40, small.width - 2, small.height - 40, white), 0);
  EXPECT_EQ(ink(small, 2, 40, 14, small.height - 40, white), 0);
}

TEST_F(RenderTest, EmptySmallWidgetShowsTheAccentSymbolAndText) {
  Bitmap small = render(QuorvelWidgetsEntrySmallView{{{}, std::nullopt}, "x://"}.body(), {170, 170},
                        ColorScheme::light, "empty");
  EXPECT_GT(count(small, 0, small.height / 3, small.width, small.height * 2 / 3, 0, 122, 255, 30),
            150);
}

}  // namespace
}  // namespace quorvel
