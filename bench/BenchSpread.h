// Repeats a benchmark and reports the spread of its repetitions: min, median and max
// (beside the library's own mean, median and deviation), so one slow run on a shared
// machine shows as such instead of moving the figure.
#pragma once

#include <algorithm>
#include <vector>

#include <benchmark/benchmark.h>

namespace morvanebench {

inline constexpr int kSpreadRepetitions = 7;

// For Apply(): BENCHMARK(BM_X)->Apply(morvanebench::withSpread).
inline void withSpread(benchmark::internal::Benchmark* bench) {
  bench->Repetitions(kSpreadRepetitions)
      ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
}

}  // namespace morvanebench
