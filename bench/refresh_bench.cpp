// The refresh's CPU path on the recorded exchange answer: the bare parse
// (the floor), parse + map to tickers, parse + value, and valuing 10 to
// 10,000 holdings against 2,429, 30,000 and 100,000 tickers, to show the
// valuation grows linearly.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
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

// An answer of `count` tickers: the recorded ones, then copies whose
// symbols carry a number so every symbol stays distinct.
const std::string& answerOf(size_t count) {
  static std::map<size_t, std::string> made;
  auto& bytes = made[count];
  if (!bytes.empty()) return bytes;
  simdjson::dom::parser parser;
  simdjson::padded_string padded(recordedAnswer());
  std::vector<std::string> recorded;
  simdjson::dom::array tickers;
  if (parser.parse(padded).get_array().get(tickers) != simdjson::SUCCESS) std::abort();
  for (simdjson::dom::element ticker : tickers) {
    recorded.push_back(simdjson::minify(ticker));
  }
  bytes = "[";
  for (size_t i = 0; i < count; ++i) {
    std::string ticker = recorded[i % recorded.size()];
    if (i >= recorded.size()) {
      const size_t symbol = ticker.find("\"symbol\":\"") + 10;
      ticker.insert(ticker.find('"', symbol), "X" + std::to_string(i));
    }
    if (i) bytes += ',';
    bytes += ticker;
  }
  bytes += "]";
  return bytes;
}

// `count` holdings spread over the answer's symbols, in lower case as the
// host may store them.
platform::objectstore::Results<PortfolioPair> holdingsOf(const std::string& answer, size_t count) {
  simdjson::dom::parser parser;
  simdjson::padded_string padded(answer);
  std::vector<std::string> symbols;
  simdjson::dom::array tickers;
  if (parser.parse(padded).get_array().get(tickers) != simdjson::SUCCESS) std::abort();
  for (simdjson::dom::element ticker : tickers) {
    std::string_view symbol;
    if (ticker["symbol"].get_string().get(symbol) != simdjson::SUCCESS) std::abort();
    symbols.emplace_back(symbol);
  }
  auto items = std::make_shared<std::vector<PortfolioPair>>();
  for (size_t i = 0; i < count; ++i) {
    PortfolioPair h;
    std::string symbol = symbols[(i * 7919) % symbols.size()];
    for (char& c : symbol) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    h.symbol = symbol;
    h.amount.value = 1.5;
    items->push_back(std::move(h));
  }
  return platform::objectstore::Results<PortfolioPair>(std::move(items));
}

// The refresh's whole CPU path: parse the answer (the parser reused, as the
// floor's is) and value the holdings from it.
void BM_CpuPath(benchmark::State& state) {
  const auto held = holdingsOf(recordedAnswer(), static_cast<size_t>(state.range(0)));
  simdjson::padded_string padded(recordedAnswer());
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(padded).get(root) != simdjson::SUCCESS) std::abort();
    auto lines = quorvel::valueHoldings(held, root);
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * recordedAnswer().size()));
}
BENCHMARK(BM_CpuPath)->Arg(100)->Unit(benchmark::kMillisecond);

// Scaling in holdings and tickers: parse + value, and value alone on a
// parsed answer. ns_per_item divides by holdings + tickers.
void scaling(benchmark::State& state, bool withParse) {
  const std::string& answer = answerOf(static_cast<size_t>(state.range(1)));
  const auto held = holdingsOf(answer, static_cast<size_t>(state.range(0)));
  simdjson::padded_string padded(answer);
  simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (parser.parse(padded).get(root) != simdjson::SUCCESS) std::abort();
  for (auto _ : state) {
    if (withParse && parser.parse(padded).get(root) != simdjson::SUCCESS) std::abort();
    auto lines = quorvel::valueHoldings(held, root);
    benchmark::DoNotOptimize(lines);
  }
  state.counters["ns_per_item"] = benchmark::Counter(
      static_cast<double>(state.range(0) + state.range(1)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
// The floor at each size: the bare parse of the same answer.
void BM_BareParseOf(benchmark::State& state) {
  const std::string& answer = answerOf(static_cast<size_t>(state.range(0)));
  simdjson::padded_string padded(answer);
  simdjson::dom::parser parser;
  // Warmed like the scaling runs: the parser's buffers are allocated and
  // touched once before timing.
  if (parser.parse(padded).error() != simdjson::SUCCESS) std::abort();
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(padded).get(root) != simdjson::SUCCESS) std::abort();
    benchmark::DoNotOptimize(root);
  }
  state.counters["ns_per_item"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BareParseOf)->Arg(2429)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ParseAndValue(benchmark::State& state) { scaling(state, true); }
void BM_ValueParsedAnswer(benchmark::State& state) { scaling(state, false); }
BENCHMARK(BM_ParseAndValue)
    ->ArgsProduct({{10, 100, 1000, 10000}, {2429, 30000, 100000}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValueParsedAnswer)
    ->ArgsProduct({{10, 100, 1000, 10000}, {2429, 30000, 100000}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
