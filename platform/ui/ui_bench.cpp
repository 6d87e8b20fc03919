// Cost of one medium widget: layout alone, drawn into pixels at @3x, and
// encoded as PNG at @3x.
#include <benchmark/benchmark.h>

#include "platform/ui/layout.h"
#include "platform/ui/render.h"
#include "platform/ui/widget_mockups.h"

namespace platform::ui {
namespace {

const View& mediumWidget() {
  static const View view = mockups::mediumBalance("12,345.68", mockups::registerSampleIcon());
  return view;
}

void BM_LayoutMedium(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(layoutView(mediumWidget(), kSystemMediumSize));
}
BENCHMARK(BM_LayoutMedium)->Unit(benchmark::kMillisecond);

void BM_RenderMediumBitmap3x(benchmark::State& state) {
  const RenderOptions options{.size = kSystemMediumSize, .scale = 3};
  for (auto _ : state) benchmark::DoNotOptimize(renderToBitmap(mediumWidget(), options));
}
BENCHMARK(BM_RenderMediumBitmap3x)->Unit(benchmark::kMillisecond);

void BM_RenderMediumPNG3x(benchmark::State& state) {
  const RenderOptions options{.size = kSystemMediumSize, .scale = 3};
  for (auto _ : state) benchmark::DoNotOptimize(renderToPNGData(mediumWidget(), options));
}
BENCHMARK(BM_RenderMediumPNG3x)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace platform::ui

BENCHMARK_MAIN();
