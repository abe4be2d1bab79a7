// Main-thread time to hand one command list (ten logger commands) to each Fennick
// engine, beside the time to serialise the same list alone: the script context (its call
// crosses to the context's process and back) and the hidden ad view (serialised, then
// run in the page on a later main-loop turn, which is counted). The ratios to the
// serialisation are the engines' own cost.
#include <string>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "platform/web/JSContext.h"
#include "platform/web/JSVirtualMachine.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/telemetry/ZUMFennickCommandExecutors.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kScript =
    "var count = 0; function QYRA_FennickInit(o) {} function QYRA_Fennick(l) { count += l.length; }";

Json commandList() {
  Json list = Json::array();
  for (int i = 0; i < 10; ++i) {
    list.push_back(
        {{"id", "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0:" + std::to_string(i + 1)},
         {"log_event", {{"name", "ad_loaded"}, {"ad_unit", "unit-" + std::to_string(i)}, {"latency_ms", 120 + i}}},
         {"client_time_ms", 1700000000000 + i}});
  }
  return list;
}

void BM_SerialiseListAlone(benchmark::State& state) {
  const Json list = commandList();
  for (auto _ : state) {
    platform::ErrorPtr error;
    benchmark::DoNotOptimize(zum_JSONStringPretty(zum_JSONSafeArray(list), false, &error));
  }
}
BENCHMARK(BM_SerialiseListAlone)->Unit(benchmark::kMicrosecond);

void BM_HandToScriptContext(benchmark::State& state) {
  testenv::TestEnvironment env;
  platform::JSVirtualMachine::registerClass();
  platform::JSContext::registerClass();
  auto executor = ZUMFennickJSCoreCommandExecutor::create(kScript);
  if (!executor) {
    state.SkipWithError("no script context");
    return;
  }
  const Json list = commandList();
  for (auto _ : state) executor->asynchronouslyExecuteCommands(list);
}
BENCHMARK(BM_HandToScriptContext)->Unit(benchmark::kMicrosecond);

void BM_HandToAdView(benchmark::State& state) {
  testenv::TestEnvironment env;
  auto executor = ZUMFennickAdViewCommandExecutor::create(kScript, std::nullopt);
  if (!env.runUntil([&] { return executor->isLoaded(); })) {
    state.SkipWithError("the page did not load");
    return;
  }
  const Json list = commandList();
  for (auto _ : state) {
    executor->asynchronouslyExecuteCommands(list);
    env.runUntilIdle();
  }
}
BENCHMARK(BM_HandToAdView)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
