// The crash reporter's budget in a dying process: one report built from an exception with
// a 64-frame call stack and a 1 MiB reason naming the SDK (symbols resolved, texts cut,
// the reason redacted, the URL built) and stored in the retry group on disk.
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "platform/base/Clock.h"
#include "platform/base/Exception.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"
#include "sdk/network/ZUMPingerRetryStore.h"
#include "sdk/telemetry/ZUMCrashReporter.h"

// Exported and never inlined, so each level is a named frame that names the SDK.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
[[gnu::noinline]] void ZUMBenchRaiseAtDepth(int depth, const std::string& reason) {
  if (depth > 1) {
    ZUMBenchRaiseAtDepth(depth - 1, reason);
    __asm__ volatile("" ::: "memory");
  } else {
    platform::Exception::raise("BenchException", reason);
  }
}
#pragma GCC diagnostic pop

namespace {

platform::Exception exceptionOf64Frames() {
  std::string reason = "ZUMSlot failed at 0x7ffe4c0 ";
  reason.resize(1 << 20, 'a');
  try {
    ZUMBenchRaiseAtDepth(64, reason);
  } catch (const platform::Exception& exception) {
    return exception;
  }
  return platform::Exception("none", std::nullopt);
}

void BM_BuildAndStoreOneReport(benchmark::State& state) {
  const auto home = std::filesystem::temp_directory_path() / "morvane-crash-report-bench";
  std::filesystem::create_directories(home);
  platform::bindMainThread();
  platform::UserDefaults::setStandardFile(home / "defaults.json");
  auto& defaults = platform::UserDefaults::standard();
  const auto exception = exceptionOf64Frames();
  if (exception.callStackReturnAddresses().size() < 64) return state.SkipWithError("the stack is too short");
  for (auto _ : state) {
    const auto url = ZUMCrashReporter::reportURL(ZUMCrashReporter::reportForException(exception));
    if (!url) return state.SkipWithError("no report");
    ZUMPingerRetryStore store(defaults);
    store.storeRetryURLString(url->absoluteString(), kZUMCrashReportingRetryGroupKey, 10, 1.8e9);
    state.PauseTiming();
    store.removeRetryURLString(url->absoluteString(), kZUMCrashReportingRetryGroupKey);
    state.ResumeTiming();
  }
  std::filesystem::remove_all(home);
}
BENCHMARK(BM_BuildAndStoreOneReport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
