// Formatting one price as the purchase reporter does ("en_US", "#.######" / "-#.######",
// floor): with a new formatter each time, as the reporter makes one per report, against
// one formatter reused.
#include <benchmark/benchmark.h>

#include "platform/base/NumberFormatter.h"

namespace {

void configure(platform::NumberFormatter& formatter) {
  formatter.setLocale(platform::Locale("en_US"));
  formatter.setPositiveFormat("#.######");
  formatter.setNegativeFormat("-#.######");
  formatter.setRoundingMode(platform::NumberFormatter::RoundingMode::Floor);
}

const platform::Decimal kPrice = *platform::Decimal::fromString("19.99");

void BM_FormatPriceWithANewFormatter(benchmark::State& state) {
  for (auto _ : state) {
    platform::NumberFormatter formatter;
    configure(formatter);
    benchmark::DoNotOptimize(formatter.stringFromNumber(kPrice));
  }
}
BENCHMARK(BM_FormatPriceWithANewFormatter)->Unit(benchmark::kMicrosecond);

void BM_FormatPriceWithAReusedFormatter(benchmark::State& state) {
  platform::NumberFormatter formatter;
  configure(formatter);
  for (auto _ : state) benchmark::DoNotOptimize(formatter.stringFromNumber(kPrice));
}
BENCHMARK(BM_FormatPriceWithAReusedFormatter)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
