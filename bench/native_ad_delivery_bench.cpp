// BM_NativeAdDelivery: delivery of 100 native ads through an ad loader, their assets
// finishing in reverse order, against building the same ads directly and loading their
// assets the same way.
//
// Each iteration: a loader of the test content kind asking for 100 ads has taken over a
// response (its preprocessor and hidden page made, outside the stopwatch). Timed: the
// page's answer with 100 entries arrives, the loader makes the ads, their assets finish
// from the last ad to the first, and the loader releases them in order until the
// delegate has all 100. Then, timed apart: the same 100 ads made from the same entries,
// given the same slot, their assets loaded and finished in reverse order until every
// completion ran. "loader_us_per_ad" and "direct_us_per_ad" are per ad;
// "ratio_loader_to_direct" is the first over the second.
//
// BM_NativeAdOfManyKeys/N: one ad whose entry carries N keys beyond its own (1k, 10k,
// 60k), from the page's answer to the ad delivered; "ns_per_key" must stay flat as N grows
// (within 2x), since the server chooses N.
//
// The deterministic executor on a virtual clock: only the SDK's own work is measured (no
// network: the page's answer is posted as its message would be).
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "ZUMMultipleAdsAdLoaderOptions.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/native/ZUMNativePageTestSupport.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Clock = std::chrono::steady_clock;
using nativetest::Json;

constexpr int kAds = 100;

struct Receiver : nativetest::TestAdLoaderDelegate {
  void adLoaderDidReceiveTestAd(ZUMAdLoader&, const std::shared_ptr<nativetest::TestAd>&) override { ++received; }
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr&) override { ++failed; }
  int received = 0;
  int failed = 0;
};

Json answer() {
  Json ads = Json::array();
  for (int i = 0; i < kAds; ++i) {
    ads.push_back(Json{{"type", "native"},
                       {"template_id", 1},
                       {"headline", "ad " + std::to_string(i)},
                       {"assets", {"img"}},
                       {"tracking_urls_and_actions",
                        {{"impression_tracking_urls", {"https://track.example/imp/" + std::to_string(i)}}}}});
  }
  return Json{{"ads", std::move(ads)}};
}

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// A loader asking for `ads` ads that has taken a response over: its page made (the
// rendering's last), waiting for the page's answer.
std::shared_ptr<ZUMAdLoader> takenOverLoader(int ads, const std::shared_ptr<Receiver>& receiver,
                                             nativetest::TestKinds& kinds,
                                             nativepagetest::RecordingSlotRendering& rendering) {
  auto option = ZUMMultipleAdsAdLoaderOptions::create();
  option->setNumberOfAds(ads);
  auto loader = ZUMAdLoader::create("unit-B", nullptr, {"1"}, {option});
  loader->setDelegate(receiver);
  loader->loadRequest(nativetest::pageRequest("https://ads.adnetwork.example/native"));
  kinds.content->made.clear();
  rendering.takeOverResponse(*loader);
  return loader;
}

void BM_NativeAdDelivery(benchmark::State& state) {
  testenv::TestEnvironment env;
  ZUMMobileAds::load();
  platform::URLLoading::setOffline(true);
  nativetest::TestKinds kinds;
  auto rendering = nativepagetest::RecordingSlotRendering::install();
  const Json document = answer();
  const std::string text = document.dump();
  const auto& entries = document["ads"];
  double loaderTotal = 0;
  double directTotal = 0;
  int iterations = 0;
  for (auto _ : state) {
    // Outside the stopwatch: a loader that has taken a response over.
    auto receiver = std::make_shared<Receiver>();
    auto loader = takenOverLoader(kAds, receiver, kinds, *rendering);
    const std::shared_ptr<void> page = rendering->last;
    const auto loaderStart = Clock::now();
    platform::NotificationCenter::defaultCenter().post("nativeAdPreProcess", page, Json{{"success", text}});
    env.runUntilIdle();
    for (auto made = kinds.content->made.rbegin(); made != kinds.content->made.rend(); ++made) {
      if (auto ad = made->lock()) ad->finishedLoadingAssetWithName("img");
    }
    env.runUntilIdle();
    loaderTotal += micros(Clock::now() - loaderStart);
    if (receiver->received != kAds) {
      std::fprintf(stderr, "received %d failed %d made %zu page %d\n", receiver->received, receiver->failed,
                   kinds.content->made.size(), page != nullptr);
      state.SkipWithError("the loader did not deliver every ad");
    }

    // The same ads built directly on the same slot.
    auto slot = ZUMSlot::create();
    int completed = 0;
    const auto directStart = Clock::now();
    std::vector<std::shared_ptr<ZUMNativeAd>> ads;
    for (const auto& entry : entries) {
      auto ad = kinds.content->adWithDictionary(entry, {});
      ad->setSlot(slot);
      ad->setAdUnitID("unit-B");
      ad->loadAssetsWithCompletionHandler([&completed](const platform::ErrorPtr&) { ++completed; });
      ads.push_back(std::move(ad));
    }
    env.runUntilIdle();
    for (auto ad = ads.rbegin(); ad != ads.rend(); ++ad) (*ad)->finishedLoadingAssetWithName("img");
    env.runUntilIdle();
    directTotal += micros(Clock::now() - directStart);
    if (completed != kAds) state.SkipWithError("the direct build did not complete every ad");
    ++iterations;
  }
  if (iterations == 0) return;
  state.counters["loader_us_per_ad"] = loaderTotal / iterations / kAds;
  state.counters["direct_us_per_ad"] = directTotal / iterations / kAds;
  state.counters["ratio_loader_to_direct"] = directTotal > 0 ? loaderTotal / directTotal : 0;
}

BENCHMARK(BM_NativeAdDelivery)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_NativeAdOfManyKeys(benchmark::State& state) {
  testenv::TestEnvironment env;
  ZUMMobileAds::load();
  platform::URLLoading::setOffline(true);
  nativetest::TestKinds kinds;
  auto rendering = nativepagetest::RecordingSlotRendering::install();
  const auto keys = static_cast<std::size_t>(state.range(0));
  Json entry = {{"type", "native"}, {"template_id", 1}, {"headline", "ad"}, {"assets", {"img"}}};
  auto& members = entry.get_ref<Json::object_t&>();
  for (std::size_t i = 0; i < keys; ++i) members.emplace_back("x" + std::to_string(i), static_cast<int>(i % 10));
  const std::string text = Json{{"ads", Json::array({std::move(entry)})}}.dump();
  double total = 0;
  for (auto _ : state) {
    auto receiver = std::make_shared<Receiver>();
    auto loader = takenOverLoader(1, receiver, kinds, *rendering);
    const std::shared_ptr<void> page = rendering->last;
    const auto start = Clock::now();
    platform::NotificationCenter::defaultCenter().post("nativeAdPreProcess", page, Json{{"success", text}});
    env.runUntilIdle();
    for (const auto& made : kinds.content->made) {
      if (auto ad = made.lock()) ad->finishedLoadingAssetWithName("img");
    }
    env.runUntilIdle();
    total += micros(Clock::now() - start);
    if (receiver->received != 1) return state.SkipWithError("the loader did not deliver the ad");
  }
  state.counters["ns_per_key"] = total * 1e3 / static_cast<double>(state.iterations() * keys);
}
BENCHMARK(BM_NativeAdOfManyKeys)->Arg(1'000)->Arg(10'000)->Arg(60'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
