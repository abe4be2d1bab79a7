// A banner of a new screen taking over the loaded slot of an equivalent banner of the
// screen before (ZUMBannerCache), against a fresh load of the same ad, in one run.
//
// The SDK loaded, a key window, the SDK's built-in SDK-core page and an ad served by the
// loopback server. Each iteration, outside the stopwatch: a new cache, a banner of a new
// screen loaded through it until its delegate hears the ad. Then, timed: a banner of a
// second new screen asks the cache and shows the handed-out slot's ad view as its own
// (laid out in the window); then, timed apart, another banner of that screen loads the
// same request until its delegate hears the ad. "ratio_cached_to_fresh" is the hand-out's
// time over the fresh load's; "cached_ms" and "fresh_ms" are per iteration.
//
// Real time and the threaded executor, as in production: the fresh load's HTTP,
// content processes and queue hops are real work.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include <benchmark/benchmark.h>

#include "BenchMainLoop.h"
#include "ZUMBannerView.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/Executor.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/formats/ZUMBannerCache.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using morvanebench::Clock;
using morvanebench::milliseconds;
using morvanebench::runMainLoopUntil;

constexpr int kIterations = 40;

struct Receiver : ZUMBannerViewDelegate {
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView&) override {
    ++received;
    return kZUMImplemented;
  }
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr&) override {
    failed = true;
    return kZUMImplemented;
  }
  int received = 0;
  bool failed = false;
};

struct Host {
  Host() {
    ZUMMobileAds::load();
    window->setRootViewController(platform::ViewController::create());
    window->makeKeyAndVisible();
  }
  // A banner of "unit-A" in the window, under `screen`.
  std::shared_ptr<ZUMBannerView> place(const std::shared_ptr<platform::ViewController>& screen) {
    auto banner = ZUMBannerView::create(kZUMAdSizeBanner, {0, 100});
    banner->setAdUnitID("unit-A");
    banner->setRootViewController(screen);
    banner->setDelegate(receiver);
    window->addSubview(banner);
    return banner;
  }
  bool awaitAd(int heard) {
    return runMainLoopUntil([&] { return receiver->received > heard || receiver->failed; }) && !receiver->failed;
  }
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<Receiver> receiver = std::make_shared<Receiver>();
};

// Timed: a banner of a new screen takes the cached slot and shows its ad view.
std::optional<Clock::duration> handOut(Host& host, ZUMBannerCache& cache, const std::shared_ptr<ZUMRequest>& request,
                                       const std::shared_ptr<ZUMSlot>& expected,
                                       const std::shared_ptr<platform::ViewController>& screen) {
  auto banner = host.place(screen);
  const auto begin = Clock::now();
  auto slot = cache.cacheEntryForBannerView(banner, request);
  if (!slot) return std::nullopt;
  banner->setRootAdView(slot->adView());
  host.window->layoutIfNeeded();
  const auto time = Clock::now() - begin;
  const bool shown = slot == expected && slot->state() == ZUMSlot::State::kValidAd &&
                     slot->adView()->superview() == banner && slot->adView()->window() == host.window;
  banner->removeFromSuperview();
  return shown ? std::optional(time) : std::nullopt;
}

// Timed: a banner of the same screen loads the same request itself.
std::optional<Clock::duration> loadFresh(Host& host, const std::shared_ptr<ZUMRequest>& request,
                                         const std::shared_ptr<platform::ViewController>& screen) {
  auto banner = host.place(screen);
  const int heard = host.receiver->received;
  const auto begin = Clock::now();
  banner->loadRequest(request);
  const bool loaded = host.awaitAd(heard);
  const auto time = Clock::now() - begin;
  banner->removeFromSuperview();
  return loaded ? std::optional(time) : std::nullopt;
}

void BM_CachedBannerVersusFresh(benchmark::State& state) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  sdkcoretest::NetworkHosts hosts;
  hosts.server.route("/ad", {.body = "<html><body>Ad<script>var a = 1;</script></body></html>"});
  Host host;
  const auto request = ZUMRequest::create();
  const auto warmScreen = platform::ViewController::create();
  if (!loadFresh(host, request, warmScreen)) {
    state.SkipWithError("the warm-up failed");
    return;
  }
  Clock::duration cachedTime{}, freshTime{};
  for (auto _ : state) {
    auto cache = ZUMBannerCache::create();
    const auto before = platform::ViewController::create(), after = platform::ViewController::create();
    auto previous = host.place(before);
    const int heard = host.receiver->received;
    static_cast<void>(cache->cacheEntryForBannerView(previous, request));
    cache->loadRequest(request, previous);
    const bool ready = host.awaitAd(heard) && runMainLoopUntil([&] {
                         return cache->entryCount(ZUMBannerCache::Generation::Current,
                                                  *ZUMBannerCache::keyForBannerView(previous, request)) == 1;
                       });
    const auto cached = ready ? handOut(host, *cache, request, previous->slot(), after) : std::nullopt;
    const auto fresh = cached ? loadFresh(host, request, after) : std::nullopt;
    previous->removeFromSuperview();
    if (!cached || !fresh) {
      state.SkipWithError("a load failed, or the cache handed out nothing");
      break;
    }
    cachedTime += *cached;
    freshTime += *fresh;
    state.SetIterationTime(std::chrono::duration<double>(*cached).count());
  }
  if (state.iterations() == 0 || freshTime == Clock::duration::zero()) return;
  const double iterations = static_cast<double>(state.iterations());
  state.counters["cached_ms"] = milliseconds(cachedTime) / iterations;
  state.counters["fresh_ms"] = milliseconds(freshTime) / iterations;
  state.counters["ratio_cached_to_fresh"] = milliseconds(cachedTime) / milliseconds(freshTime);
}
BENCHMARK(BM_CachedBannerVersusFresh)->Unit(benchmark::kMillisecond)->Iterations(kIterations)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
