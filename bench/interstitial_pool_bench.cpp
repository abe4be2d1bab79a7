// The main thread's cost of one pool entry, against a bare slot, in the same run.
//
// An entry: ZUMInterstitialCacheEntry::create() (its CSI recorder and four timings, a
// slot with an interstitial ad view, the request copy, the start of the load) and its
// release (the slot's teardown and the discard beacon). The bare slot: ZUMSlot::create()
// with an interstitial ad view and an ad unit, then released. Both run under the
// deterministic executor, so every queue's work runs on the main thread and is counted;
// each iteration drains it. The application is inactive, so a load stops at the slot's
// gate and the network is no part of either side; beacons are sampled out, so only the
// decision to send is counted.
//
// "ratio" is the entry's time over the bare slot's; "entry_us" and "slot_us" are the
// times per iteration (the benchmark's own time is the entry's).
#include <chrono>
#include <memory>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/UserDefaults.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/formats/ZUMInterstitialCacheEntry.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using Clock = std::chrono::steady_clock;

double microsecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void makeAndReleaseBareSlot() {
  auto slot = ZUMSlot::create(ZUMDevice::sharedInstance()->standardizedOrientedScreenBounds());
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView())) adView->configureAsInterstitialAdView();
  slot->setAdUnitID("unit-A");
  benchmark::DoNotOptimize(slot);
}

void makeAndReleaseEntry(const std::shared_ptr<ZUMRequest>& request) {
  auto entry = ZUMInterstitialCacheEntry::create(request, "unit-A");
  benchmark::DoNotOptimize(entry);
}

void BM_PoolEntryAgainstBareSlot(benchmark::State& state) {
  testenv::TestEnvironment env;
  ZUMMobileAds::load();
  // No latency beacons: the benchmark measures the entry, not the pinger.
  if (!platform::UserDefaults::standard().setObject("0", kZUMCSIReportingProbabilityKey))
    state.SkipWithError("defaults refused");
  testenv::AppControls::resignActive();
  const auto request = ZUMRequest::create();
  makeAndReleaseEntry(request);  // warm-up: singletons, first-use work
  makeAndReleaseBareSlot();
  env.runUntilIdle();

  double entryTotal = 0;
  double slotTotal = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    makeAndReleaseBareSlot();
    env.runUntilIdle();
    slotTotal += microsecondsSince(start);
    start = Clock::now();
    makeAndReleaseEntry(request);
    env.runUntilIdle();
    const double entry = microsecondsSince(start);
    entryTotal += entry;
    state.SetIterationTime(entry / 1e6);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["entry_us"] = entryTotal / n;
  state.counters["slot_us"] = slotTotal / n;
  state.counters["ratio"] = slotTotal > 0 ? entryTotal / slotTotal : 0;
}
BENCHMARK(BM_PoolEntryAgainstBareSlot)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
