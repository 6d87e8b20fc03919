// Building the widget views and drawing them to PNG at scale 3, as the
// widget host asks for every entry.
#include <benchmark/benchmark.h>

#include "platform/foundation/bundle.h"
#include "platform/ui/render.h"
#include "platform/widgetkit/timeline.h"
#include "views/entry_views.h"

namespace {

using quorvel::PortfolioWidget;
using quorvel::QuorvelSimpleEntry;

const QuorvelSimpleEntry kEntry{{}, PortfolioWidget{12345.678, 12000}};

void BM_SmallViewBody(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(quorvel::QuorvelWidgetsEntrySmallView{kEntry, "x://"}.body());
}
BENCHMARK(BM_SmallViewBody)->Unit(benchmark::kMicrosecond);

void BM_MediumViewBody(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(quorvel::QuorvelWidgetsEntryMediumView{kEntry, "x://"}.body());
}
BENCHMARK(BM_MediumViewBody)->Unit(benchmark::kMicrosecond);

void render(benchmark::State& state, const platform::ui::View& view, platform::ui::Size size) {
  platform::ui::RenderOptions options;
  options.size = size;
  options.scale = 3;
  for (auto _ : state) {
    auto png = platform::ui::renderToPNGData(view, options);
    if (!png.ok()) state.SkipWithError("render failed");
    benchmark::DoNotOptimize(png);
  }
}

void BM_RenderSmallPNG(benchmark::State& state) {
  render(state, quorvel::QuorvelWidgetsEntrySmallView{kEntry, "x://"}.body(),
         platform::widgetkit::displaySizeOf(platform::widgetkit::WidgetFamily::systemSmall));
}
BENCHMARK(BM_RenderSmallPNG)->Unit(benchmark::kMillisecond);

void BM_RenderMediumPNG(benchmark::State& state) {
  render(state, quorvel::QuorvelWidgetsEntryMediumView{kEntry, "x://"}.body(),
         platform::widgetkit::displaySizeOf(platform::widgetkit::WidgetFamily::systemMedium));
}
BENCHMARK(BM_RenderMediumPNG)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  platform::foundation::setMainBundleIdentifier("com.tavrin.quorvel.widgets");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
