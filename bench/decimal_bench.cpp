// Reading and printing 1,000 decimal texts of the kinds servers and pages send: prices,
// reward amounts, long integers and small exponents.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/base/Decimal.h"

namespace {

std::vector<std::string> thousandTexts() {
  const char* kinds[] = {"19.99", "0.1", "2.50", "-1.5e-7", "9007199254740993", "100", "1e-7", "12345.6789"};
  std::vector<std::string> texts;
  for (int i = 0; i < 1000; ++i)
    texts.push_back(std::string(kinds[i % 8]) + (i % 3 == 0 ? "" : std::to_string(i % 10)));
  return texts;
}

void BM_ReadAndPrintThousandDecimalTexts(benchmark::State& state) {
  const auto texts = thousandTexts();
  std::size_t printed = 0;
  for (auto _ : state) {
    for (const auto& text : texts) {
      const auto value = platform::Decimal::fromString(text);
      if (value) printed += value->stringValue().size();
    }
  }
  benchmark::DoNotOptimize(printed);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
}
BENCHMARK(BM_ReadAndPrintThousandDecimalTexts)->Unit(benchmark::kMicrosecond);

void BM_ThousandDoublesThroughShortestText(benchmark::State& state) {
  std::vector<double> values;
  for (int i = 0; i < 1000; ++i) values.push_back(i * 0.37 + 0.01);
  std::size_t printed = 0;
  for (auto _ : state) {
    for (const double v : values) printed += platform::Decimal::fromDouble(v)->stringValue().size();
  }
  benchmark::DoNotOptimize(printed);
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ThousandDoublesThroughShortestText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
