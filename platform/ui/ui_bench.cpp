// Cost of one card-sized tree (stacks, spacers, shrinking one-line text,
// wrapped text, a symbol and a rounded clip): layout alone, drawn into pixels
// at @3x, and encoded as PNG at @3x.
#include <benchmark/benchmark.h>

#include "platform/ui/image.h"
#include "platform/ui/layout.h"
#include "platform/ui/render.h"
#include "platform/ui/text.h"

namespace platform::ui {
namespace {

constexpr Size kCard{360, 170};

const View& card() {
  static const View view =
      VStack(HorizontalAlignment::leading, 6,
             {HStack(VerticalAlignment::center, 8,
                     {Text::verbatim("Heading").font(Font::system(14, Font::Weight::semibold)),
                      Spacer(), Image::systemName("plus.circle.fill").resizable().frame(16, 16)}),
              Text::verbatim("1,234,567.89")
                  .font(Font::system(22, Font::Weight::bold))
                  .minimumScaleFactor(0.5)
                  .lineLimit(1),
              Text::verbatim("A longer line of text that wraps onto a second line in the card.")
                  .fixedSize(false, true),
              Spacer(),
              Text::verbatim("+2.5%")
                  .padding(EdgeInsets{6, 8, 6, 8})
                  .background(Color(0.2, 0.6, 0.4))
                  .clipShape(RoundedRectangle{8})})
          .frame(FlexFrame{.maxWidth = kInfinity, .maxHeight = kInfinity})
          .padding(16)
          .background(Color::white());
  return view;
}

void BM_LayoutCard(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(layoutView(card(), kCard));
}
BENCHMARK(BM_LayoutCard)->Unit(benchmark::kMillisecond);

void BM_RenderCardBitmap3x(benchmark::State& state) {
  const RenderOptions options{.size = kCard, .scale = 3};
  for (auto _ : state) benchmark::DoNotOptimize(renderToBitmap(card(), options));
}
BENCHMARK(BM_RenderCardBitmap3x)->Unit(benchmark::kMillisecond);

void BM_RenderCardPNG3x(benchmark::State& state) {
  const RenderOptions options{.size = kCard, .scale = 3};
  for (auto _ : state) benchmark::DoNotOptimize(renderToPNGData(card(), options));
}
BENCHMARK(BM_RenderCardPNG3x)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace platform::ui

BENCHMARK_MAIN();
