// The refresh's CPU path on the recorded exchange answer: the bare parse
// (the floor), parse + map to tickers, and valuing holdings against 2,429,
// 30,000 and 100,000 tickers, to show the valuation grows linearly.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/objectstore/realm.h"
#include "widgets/exchange.h"
#include "widgets/widget_managers.h"

namespace {

using quorvel::Pair;
using quorvel::PortfolioPair;

const std::string& recordedAnswer() {
  static const std::string bytes = [] {
    std::ifstream in(std::string(QUORVEL_FIXTURES_DIR) + "/tickers/ticker-24hr-full.json",
                     std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }();
  return bytes;
}

void BM_BareParse(benchmark::State& state) {
  simdjson::padded_string padded(recordedAnswer());
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(padded).get(root) != simdjson::SUCCESS) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(root);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * recordedAnswer().size()));
}
BENCHMARK(BM_BareParse)->Unit(benchmark::kMillisecond);

void BM_ParseAndMap(benchmark::State& state) {
  simdjson::padded_string padded(recordedAnswer());
  simdjson::dom::parser parser;
  for (auto _ : state) {
    auto tickers = quorvel::tickersFromAnswer(parser.parse(padded).value());
    benchmark::DoNotOptimize(tickers);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * recordedAnswer().size()));
}
BENCHMARK(BM_ParseAndMap)->Unit(benchmark::kMillisecond);

std::vector<Pair> tickers(size_t count) {
  simdjson::dom::parser parser;
  simdjson::padded_string padded(recordedAnswer());
  std::vector<Pair> recorded = *quorvel::tickersFromAnswer(parser.parse(padded).value());
  std::vector<Pair> out;
  out.reserve(count);
  for (size_t i = 0; out.size() < count; ++i) {
    Pair p = recorded[i % recorded.size()];
    // Synthetic symbols past the recorded ones stay distinct.
    if (i >= recorded.size()) p.symbol = *p.symbol + "X" + std::to_string(i);
    out.push_back(std::move(p));
  }
  return out;
}

platform::objectstore::Results<PortfolioPair> holdings(const std::vector<Pair>& from,
                                                       size_t count) {
  auto items = std::make_shared<std::vector<PortfolioPair>>();
  for (size_t i = 0; i < count; ++i) {
    PortfolioPair h;
    h.symbol = *from[(i * 7919) % from.size()].symbol;
    h.amount.value = 1.5;
    items->push_back(std::move(h));
  }
  return platform::objectstore::Results<PortfolioPair>(std::move(items));
}

void BM_ValueHoldings(benchmark::State& state) {
  const auto list = std::optional<std::vector<Pair>>(tickers(static_cast<size_t>(state.range(1))));
  const auto held = holdings(*list, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    auto lines = quorvel::valueHoldings(held, list);
    benchmark::DoNotOptimize(lines);
  }
  state.counters["ns_per_item"] = benchmark::Counter(
      static_cast<double>(state.range(0) + state.range(1)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ValueHoldings)
    ->ArgsProduct({{10, 100, 1000, 10000}, {2430, 30000, 100000}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
