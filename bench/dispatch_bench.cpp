// How fast blocks reach the main queue and run on the main run loop.
#include <benchmark/benchmark.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"

namespace {

void BM_MainQueueAsyncAndDrain(benchmark::State& state) {
  platform::bindMainThread();
  auto queue = platform::DispatchQueue::main();
  auto& loop = platform::RunLoop::main();
  const auto batch = state.range(0);
  std::int64_t ran = 0;
  for (auto _ : state) {
    for (std::int64_t i = 0; i < batch; ++i) queue->async([&ran] { ++ran; });
    while (loop.runPending(platform::kDefaultRunLoopMode)) {
    }
  }
  benchmark::DoNotOptimize(ran);
  state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_MainQueueAsyncAndDrain)->Arg(1)->Arg(100);

void BM_SerialQueueSyncFromMain(benchmark::State& state) {
  platform::bindMainThread();
  auto queue = platform::DispatchQueue::serial("com.vantor.morvane.bench");
  int value = 0;
  for (auto _ : state) {
    queue->sync([&value] { ++value; });
  }
  benchmark::DoNotOptimize(value);
}
BENCHMARK(BM_SerialQueueSyncFromMain);

}  // namespace

BENCHMARK_MAIN();
