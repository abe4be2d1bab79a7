// Main-thread time to report one event on a Fennick logger, beside the time to build the
// event's command alone: on a loaded logger with each engine (the script context, whose
// call crosses to its process and back; the hidden ad view, whose page runs the command
// on a later main-loop turn, which is counted), and on a logger still buffering (the
// logger's own cost). The ratios to building the command are the logger's and the
// engine's cost.
#include <string>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "platform/web/JSContext.h"
#include "platform/web/JSVirtualMachine.h"
#include "sdk/telemetry/ZUMFennick.h"
#include "sdk/telemetry/ZUMFennickCommand.h"
#include "sdk/telemetry/ZUMFennickConfig.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kScript =
    "var count = 0; function QYRA_FennickInit(o) {} function QYRA_Fennick(l) { count += l.length; }";

Json event() {
  return Json{{"slot", {{"url_fetching_started", {{"url", "https://ads.adnetwork.example/ad?unit=A"}}}}}};
}

std::shared_ptr<ZUMFennickLogger> makeLogger(bool useJSCore, testenv::TestEnvironment& env, bool load) {
  platform::JSVirtualMachine::registerClass();
  platform::JSContext::registerClass();
  const Json config = {{"enabled", true}, {"use_js_core", useJSCore}, {"max_buffer_size", 100}};
  (void)platform::UserDefaults::standard().setObject(Json(config.dump()), kZUMFennickConfigKey);
  (void)platform::UserDefaults::standard().setObject(Json("e1"), kZUMExperimentIDStringKey);
  auto logger = ZUMFennickLogger::create();
  if (!load) return logger;
  auto fennick = ZUMFennick::sharedInstance();
  fennick->updateCommandExecutorWithConfig(*ZUMFennickConfig::fromDictionary(config), kScript);
  if (!env.runUntil([&] { return fennick->isLoaded(); })) return nullptr;
  logger->reportEvent(event());  // the first commands and the flush
  env.runUntilIdle();
  return logger;
}

void BM_BuildCommandAlone(benchmark::State& state) {
  testenv::TestEnvironment env;
  const Json e = event();
  for (auto _ : state) benchmark::DoNotOptimize(ZUMFennickCommand("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0:1", e));
}
BENCHMARK(BM_BuildCommandAlone)->Unit(benchmark::kMicrosecond);

void BM_ReportWhileBuffering(benchmark::State& state) {
  testenv::TestEnvironment env;
  auto logger = makeLogger(true, env, false);
  const Json e = event();
  for (auto _ : state) logger->reportEvent(e);
}
BENCHMARK(BM_ReportWhileBuffering)->Unit(benchmark::kMicrosecond);

void BM_ReportToScriptContext(benchmark::State& state) {
  testenv::TestEnvironment env;
  auto logger = makeLogger(true, env, true);
  if (!logger) {
    state.SkipWithError("no script context");
    return;
  }
  const Json e = event();
  for (auto _ : state) logger->reportEvent(e);
}
BENCHMARK(BM_ReportToScriptContext)->Unit(benchmark::kMicrosecond);

void BM_ReportToAdView(benchmark::State& state) {
  testenv::TestEnvironment env;
  auto logger = makeLogger(false, env, true);
  if (!logger) {
    state.SkipWithError("the page did not load");
    return;
  }
  const Json e = event();
  for (auto _ : state) {
    logger->reportEvent(e);
    env.runUntilIdle();
  }
}
BENCHMARK(BM_ReportToAdView)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
