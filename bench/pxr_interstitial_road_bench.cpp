// The publisher interstitial's load road against the plain interstitial's, in one run.
//
// The road is the interstitial road benchmark's: ZUMMobileAds::load(), a key window, the
// SDK's built-in SDK-core page and an ad served by the loopback server; one load runs
// from loadRequest() until the delegate hears interstitialDidReceiveAd. Each iteration
// loads one ZUMInterstitial and one PXRInterstitial (with a shared correlator and a
// PXRRequest, as a publisher host would), in turns, so both meet the same machine state.
// "ratio_pxr_to_plain" is the publisher load's time over the plain one's (expected near
// 1: the publisher interstitial adds answers to the slot, not work on the road);
// "pxr_ms" and "plain_ms" are the times per load.
//
// Real time and the threaded executor, as in production (see interstitial_road_bench).
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "PXRInterstitial.h"
#include "PXRRequest.h"
#include "ZUMInterstitial.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLoadPairs = 40;
constexpr Clock::duration kStepLimit = std::chrono::seconds(10);
constexpr Clock::duration kSettleTime = std::chrono::milliseconds(300);
constexpr platform::TimeInterval kLoopSlice = 0.05;
constexpr bool kReturnAfterSourceHandled = true;
constexpr const char* kAdHTML = "<html><body>Ad<script>var a = 1;</script></body></html>";

double milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

bool runMainLoopUntil(const std::function<bool()>& done, Clock::duration limit = kStepLimit) {
  const auto end = Clock::now() + limit;
  auto& loop = platform::RunLoop::main();
  while (!done()) {
    if (Clock::now() >= end) return false;
    loop.runMode(platform::kDefaultRunLoopMode, platform::clock().monotonicNow() + kLoopSlice,
                 kReturnAfterSourceHandled);
  }
  return true;
}

struct Receiver : ZUMInterstitialDelegate {
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial&) override {
    receivedAt = Clock::now();
    return kZUMImplemented;
  }
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial&, const ZUMRequestErrorPtr&) override {
    failed = true;
    return kZUMImplemented;
  }
  std::optional<Clock::time_point> receivedAt;
  bool failed = false;
};

// Loads `interstitial` with `request`, then drops it and waits until its ad view is gone,
// outside the stopwatch. Absent when no ad came.
std::optional<Clock::duration> timeLoad(std::shared_ptr<ZUMInterstitial> interstitial,
                                        const std::shared_ptr<ZUMRequest>& request) {
  auto receiver = std::make_shared<Receiver>();
  interstitial->setDelegate(receiver);
  const auto begin = Clock::now();
  interstitial->loadRequest(request);
  runMainLoopUntil([&] { return receiver->receivedAt || receiver->failed; });
  if (!receiver->receivedAt) return std::nullopt;
  const auto time = *receiver->receivedAt - begin;
  std::weak_ptr<platform::View> adView = interstitial->slot()->adView();
  interstitial.reset();
  if (!runMainLoopUntil([&] { return adView.expired(); })) return std::nullopt;
  return time;
}

std::optional<Clock::duration> loadPlain() { return timeLoad(ZUMInterstitial::create("unit-A"), ZUMRequest::create()); }

std::optional<Clock::duration> loadPublisher(const std::shared_ptr<ZUMCorrelator>& correlator) {
  auto interstitial = PXRInterstitial::create("unit-A");
  interstitial->setCorrelator(correlator);
  // Handed over, so that the interstitial goes when the load drops it.
  return timeLoad(std::move(interstitial), PXRRequest::create());
}

void BM_PublisherInterstitialRoadVersusPlain(benchmark::State& state) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  sdkcoretest::NetworkHosts hosts;
  hosts.server.route("/ad", {.body = kAdHTML});
  ZUMMobileAds::load();
  auto window = platform::Window::create();
  window->setRootViewController(platform::ViewController::create());
  window->makeKeyAndVisible();
  auto correlator = ZUMCorrelator::create();
  // The first loads bring the SDK-core page and its settings; both sides start warm.
  if (!loadPlain() || !loadPublisher(correlator)) {
    state.SkipWithError("the warm-up failed");
    return;
  }
  runMainLoopUntil([] { return false; }, kSettleTime);

  Clock::duration plainTime{}, publisherTime{};
  int pair = 0;
  for (auto _ : state) {
    // Alternate which goes first, so neither always meets the other's trailing work.
    const bool plainFirst = pair++ % 2 == 0;
    auto first = plainFirst ? loadPlain() : loadPublisher(correlator);
    auto second = plainFirst ? loadPublisher(correlator) : loadPlain();
    if (!first || !second) {
      state.SkipWithError("a load failed");
      break;
    }
    const auto plain = plainFirst ? *first : *second;
    const auto publisher = plainFirst ? *second : *first;
    plainTime += plain;
    publisherTime += publisher;
    state.SetIterationTime(std::chrono::duration<double>(publisher).count());
  }
  if (state.iterations() == 0 || plainTime == Clock::duration::zero()) return;
  const double loads = static_cast<double>(state.iterations());
  state.counters["pxr_ms"] = milliseconds(publisherTime) / loads;
  state.counters["plain_ms"] = milliseconds(plainTime) / loads;
  state.counters["ratio_pxr_to_plain"] = milliseconds(publisherTime) / milliseconds(plainTime);
}
BENCHMARK(BM_PublisherInterstitialRoadVersusPlain)->Unit(benchmark::kMillisecond)->Iterations(kLoadPairs)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
