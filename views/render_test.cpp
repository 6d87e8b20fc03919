// Draws both widgets in every state and appearance at the host's family
// sizes and probes the pixels where the views must put them.
#include "platform/ui/render.h"

#include <gtest/gtest.h>

#include "platform/foundation/bundle.h"
#include "platform/widgetkit/timeline.h"
#include "tests/support/test_support.h"
#include "views/entry_views.h"

namespace quorvel {
namespace {

using platform::ui::Bitmap;
using platform::ui::ColorScheme;
using platform::widgetkit::WidgetFamily;
using Pixel = Bitmap::Pixel;

constexpr int kScale = 2;

Bitmap render(const platform::ui::View& view, WidgetFamily family, ColorScheme scheme,
              const std::string& name) {
  const auto size = platform::widgetkit::displaySizeOf(family);
  const platform::ui::RenderOptions options{
      .size = {size.width, size.height}, .scale = kScale, .colorScheme = scheme};
  auto bitmap = platform::ui::renderToBitmap(view, options);
  EXPECT_OK(bitmap.status);
  EXPECT_EQ(bitmap.value->width, size.width * kScale) << name;
  EXPECT_EQ(bitmap.value->height, size.height * kScale) << name;
  return bitmap.value.value_or(Bitmap{});
}

// Pixels in [x0, x1) x [y0, y1) within `tolerance` of `colour` on every channel.
int count(const Bitmap& b, int x0, int y0, int x1, int y1, Pixel colour, int tolerance) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const Pixel p = b.pixel(x, y);
      n += std::abs(p.red - colour.red) <= tolerance &&
           std::abs(p.green - colour.green) <= tolerance &&
           std::abs(p.blue - colour.blue) <= tolerance && p.alpha == 255;
    }
  }
  return n;
}

int ink(const Bitmap& b, int x0, int y0, int x1, int y1, Pixel background) {
  return (x1 - x0) * (y1 - y0) - count(b, x0, y0, x1, y1, background, 20);
}

class WidgetRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::foundation::setMainBundleIdentifier("com.tavrin.quorvel.widgets");
  }
  quorvel::testing::ScopedHome home_;
};

TEST_F(WidgetRenderTest, EveryStateDrawsItsChangeOnTheBackgroundOfTheAppearance) {
  const Pixel green{35, 171, 108, 255}, red{255, 53, 78, 255}, accent{0, 122, 255, 255};
  const struct {
    const char* name;
    std::optional<PortfolioWidget> portfolio;
    Pixel pill[2];  // the medium widget's percent pill, right of centre: light, dark
    Pixel small;    // in the small widget's middle band: the change line, or the symbol
  } states[] = {
      {"empty", std::nullopt, {}, accent},
      {"gain", PortfolioWidget{12345.678, 12000}, {green, green}, green},
      {"loss", PortfolioWidget{100, 150}, {red, red}, red},
      {"flat", PortfolioWidget{50, 50}, {{147, 154, 164, 255}, {170, 170, 170, 255}}, {}},
      {"wide", PortfolioWidget{123456789012.34, 123456789000}, {green, green}, green},
  };
  for (ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
    const bool dark = scheme == ColorScheme::dark;
    const Pixel background = dark ? Pixel{0, 0, 0, 255} : Pixel{255, 255, 255, 255};
    for (const auto& state : states) {
      const std::string suffix = std::string(state.name) + (dark ? "-dark" : "-light");
      const QuorvelSimpleEntry entry{{}, state.portfolio};
      const Bitmap small = render(QuorvelWidgetsEntrySmallView{entry, "x://"}.body(),
                                  WidgetFamily::systemSmall, scheme, "small-" + suffix);
      const Bitmap medium = render(QuorvelWidgetsEntryMediumView{entry, "x://"}.body(),
                                   WidgetFamily::systemMedium, scheme, "medium-" + suffix);
      for (const Bitmap* b : {&small, &medium}) {
        const int w = b->width, h = b->height;
        EXPECT_EQ(b->pixel(0, 0).alpha, 0) << suffix << ": outside the rounded corner";
        EXPECT_EQ(b->pixel(w / 2, 2), background) << suffix;
        EXPECT_GT(ink(*b, 0, 0, w, h, background), 400) << suffix;
        // Nothing reaches the edge band between the rounded corners (which
        // reach 1.53 x 22 pt along each edge), nor the padding beside the
        // text (8 pt in the small widget).
        EXPECT_EQ(ink(*b, 70, 0, w - 70, 3, background), 0) << suffix;
        EXPECT_EQ(ink(*b, 2, 40, 14, h - 40, background), 0) << suffix;
        EXPECT_EQ(ink(*b, w - 14, 40, w - 2, h - 40, background), 0) << suffix;
      }
      const int w = medium.width, h = medium.height;
      if (const Pixel pill = state.pill[dark]; pill.alpha) {
        EXPECT_GT(count(medium, w * 2 / 3, h / 3, w, h, pill, 8), 300) << suffix;
      }
      if (state.small.alpha) {
        EXPECT_GT(
            count(small, 0, small.height / 3, small.width, small.height * 3 / 4, state.small, 30),
            40)
            << suffix;
      }
    }
  }
}

}  // namespace
}  // namespace quorvel
