// The crash reporter's path: an exception's call stack of 64 frames resolved to one
// "image,symbol" line per frame. Also checks that, in this optimised build, the frames
// still resolve to the executable's own function by name.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/base/Exception.h"
#include "platform/base/Symbols.h"

// Exported (not static) and never inlined, so each level is a named frame. GCC at -O3
// takes the recursion for an endless one although the last level raises.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
[[gnu::noinline]] void benchRaiseAtDepth(int depth) {
  if (depth > 1) {
    benchRaiseAtDepth(depth - 1);
    __asm__ volatile("" ::: "memory");  // no tail call: every level keeps its frame
  } else {
    platform::Exception::raise("BenchException", "deep");
  }
}
#pragma GCC diagnostic pop

namespace {

constexpr std::size_t kFrames = 64;

std::vector<std::uintptr_t> stackOf64Frames() {
  try {
    benchRaiseAtDepth(static_cast<int>(kFrames));
  } catch (const platform::Exception& exception) {
    auto stack = exception.callStackReturnAddresses();
    stack.resize(std::min(stack.size(), kFrames));
    return stack;
  }
  return {};
}

std::string stackLines(const std::vector<std::uintptr_t>& stack) {
  std::string text;
  for (const auto address : stack) {
    const auto resolved = platform::resolveAddress(address, platform::AddressKind::ReturnAddress);
    if (!resolved) {
      text += "missing,unavailable\n";
      continue;
    }
    text += resolved->imageName() + "," + resolved->symbol.value_or("") + "\n";
  }
  return text;
}

void BM_Resolve64FrameStackToLines(benchmark::State& state) {
  const auto stack = stackOf64Frames();
  if (stack.size() != kFrames) return state.SkipWithError("the stack is shorter than 64 frames");
  const auto first = platform::resolveAddress(stack.front(), platform::AddressKind::ReturnAddress);
  if (!first || first->symbol != "benchRaiseAtDepth(int)") {
    return state.SkipWithError("the raising frame does not resolve by name");
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    const auto text = stackLines(stack);
    bytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["frames"] = static_cast<double>(stack.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_Resolve64FrameStackToLines)->Unit(benchmark::kMicrosecond);

void BM_RaiseAndCatchAt64Frames(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(stackOf64Frames().size());
}
BENCHMARK(BM_RaiseAndCatchAt64Frames)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
