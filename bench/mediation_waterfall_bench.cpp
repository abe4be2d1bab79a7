// What the waterfall adds per network: a pass over 21 networks whose adapters answer at
// once (20 with no fill, then one with a banner), against the same connectors and
// adapters asked one after another without the waterfall. The difference (time-out
// timers, statistics, CSI timings, the fill-or-no-fill ping, showing the ad in the
// slot) per network is set against a network that answers in 10 ms: the counter
// "overhead_percent_of_10ms" should stay under 1.
//
// And a pass over 10, 100 and 1,000 networks that all fail at once: the main thread's
// time per network ("us_per_network") should stay flat (within 2x) from 10 to 1,000, as
// neither the stack, the statistics' saves nor anything else grows with the pass.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdNetworkConnector.h"
#include "ZUMMAdapterClass.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/View.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/mediation/ZUMMAdManager.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorDelegate.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
constexpr int kNetworks = 21;

// Answers as soon as it is asked: no fill, or a banner.
struct Adapter : ZUMMAdNetworkAdapter {
  Adapter(const std::shared_ptr<ZUMMAdNetworkConnector>& connector, bool fills) : connector(connector), fills(fills) {}
  void getBannerWithSize(const ZUMAdSize&) override {
    auto target = connector.lock();
    if (!target) return;
    if (fills) return target->adapterDidReceiveAdView(*this, view);
    target->adapterDidFailAd(*this, noFill);
  }
  void getInterstitial() override {}
  void stopBeingDelegate() override {}
  bool isBannerAnimationOK(std::int64_t) override { return true; }
  void presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>&) override {}
  std::weak_ptr<ZUMMAdNetworkConnector> connector;
  bool fills;
  std::shared_ptr<platform::View> view = platform::View::create({0, 0, 320, 50});
  platform::ErrorPtr noFill = ZUMMakeErrorWithCode(kZUMErrorNoFill);
};

struct AdapterClass : ZUMMAdapterClass {
  explicit AdapterClass(bool fills) : fills(fills) {}
  std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& connector) const override {
    return std::make_shared<Adapter>(connector, fills);
  }
  bool fills;
};

struct Owner : ZUMSlotAdLoadDelegate, ZUMAdMediationDelegate {
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& entry) override {
    return ZUMMAdNetworkConnectorBanner::create(config, entry);
  }
  void slotFinishedLoadingAdContent(ZUMSlot&) override { ++loads; }
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr&) override { ++failures; }
  int loads = 0;
  int failures = 0;
};

// The connectors' delegate when no waterfall runs: it only names the slot.
struct Sink : ZUMMConnectorDelegate {
  void adRequestReturnsFromConnectorWithView(Connector&, const std::shared_ptr<platform::View>&) override { ++answers; }
  void adRequestReturnsFromConnectorWithInterstitial(Connector&, const std::shared_ptr<void>&) override {}
  void adRequestReturnsFromConnectorWithMediatedAd(Connector&, const std::shared_ptr<ZUMMediatedAd>&) override {}
  void adRequestFailedFromConnectorWithError(Connector&, const platform::ErrorPtr&) override { ++answers; }
  bool connectorShouldReturnMediatedAd(Connector&) override { return false; }
  std::shared_ptr<ZUMSlot> slot() const override { return theSlot; }
  std::shared_ptr<ZUMSlot> theSlot;
  int answers = 0;
};

// `networks` entries; all but the last fail, and the last fills when `lastFills`.
std::shared_ptr<const ZUMMConfig> configuration(int networks, bool lastFills) {
  Json entries = Json::array();
  for (int i = 0; i < networks; ++i) {
    const bool fills = lastFills && i + 1 == networks;
    entries.push_back({{"id", "n" + std::to_string(i)},
                       {"allocation_id", "a" + std::to_string(i)},
                       {"adapters", {fills ? "BenchFillAdapter" : "BenchNoFillAdapter"}}});
  }
  return ZUMMConfig::create("unit-B", {{"settings", {{"ad_network_timeout_millis", 10000}}}, {"ad_networks", entries}},
                            nullptr);
}

void registerAdapters() {
  const platform::ClassDescriptor descriptor{.protocols = {kZUMMAdNetworkAdapterProtocol},
                                             .operations = {kZUMMGetBannerWithSizeOperation},
                                             .initialisers = {kZUMMInitWithAdNetworkConnector}};
  ZUMMRegisterAdapterClass("BenchNoFillAdapter", std::make_shared<AdapterClass>(false), descriptor);
  ZUMMRegisterAdapterClass("BenchFillAdapter", std::make_shared<AdapterClass>(true), descriptor);
}

void BM_WaterfallOverheadPerNetwork(benchmark::State& state) {
  testenv::TestEnvironment env;
  registerAdapters();
  const auto config = configuration(kNetworks, true);
  const auto adType = ZUMAdType::create(kZUMAdSizeBanner);
  auto owner = std::make_shared<Owner>();
  auto slot = ZUMSlot::create({0, 0, 320, 50});
  slot->setAdLoadDelegate(owner);
  auto ad = ZUMAd::create();
  ad->setMediationDelegate(owner);
  slot->setAd(ad);
  auto manager = ZUMMAdManager::create(slot);
  auto sink = std::make_shared<Sink>();
  sink->theSlot = slot;

  double managedSeconds = 0;
  double directSeconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    manager->mediateForAdType(adType, config);
    env.runUntilIdle();
    managedSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    start = std::chrono::steady_clock::now();
    std::vector<std::shared_ptr<ZUMMAdNetworkConnectorImpl>> asked;
    for (const auto& entry : config->adNetworkConfigs()) {
      auto connector = owner->mediationConnectorForConfiguration(config, entry);
      connector->setUpAdapter();
      connector->setAdManager(sink);
      connector->getAdFromAdapterWithType(adType);
      asked.push_back(std::move(connector));
    }
    asked.clear();
    env.runUntilIdle();
    directSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (owner->failures != 0 || owner->loads != static_cast<int>(state.iterations()) ||
      sink->answers != kNetworks * static_cast<int>(state.iterations())) {
    state.SkipWithError("a pass did not end with the last network's banner");
  }
  const double passes = static_cast<double>(state.iterations());
  const double overheadSeconds = (managedSeconds - directSeconds) / passes / kNetworks;
  state.counters["managed_us_per_network"] = managedSeconds / passes / kNetworks * 1e6;
  state.counters["direct_us_per_network"] = directSeconds / passes / kNetworks * 1e6;
  state.counters["overhead_us_per_network"] = overheadSeconds * 1e6;
  state.counters["overhead_percent_of_10ms"] = overheadSeconds / 0.010 * 100;
}
BENCHMARK(BM_WaterfallOverheadPerNetwork)->Unit(benchmark::kMillisecond);

void BM_WaterfallOfFailingNetworks(benchmark::State& state) {
  testenv::TestEnvironment env;
  platform::URLLoading::setOffline(true);  // the no-fill ping goes nowhere
  registerAdapters();
  const int networks = static_cast<int>(state.range(0));
  const auto config = configuration(networks, false);
  const auto adType = ZUMAdType::create(kZUMAdSizeBanner);
  auto owner = std::make_shared<Owner>();
  auto slot = ZUMSlot::create({0, 0, 320, 50});
  slot->setAdUnitID("unit-B");  // its statistics are saved to the user defaults
  slot->setAdLoadDelegate(owner);
  auto ad = ZUMAd::create();
  ad->setMediationDelegate(owner);
  slot->setAd(ad);
  auto manager = ZUMMAdManager::create(slot);
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    manager->mediateForAdType(adType, config);
    env.runUntilIdle();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (owner->failures != static_cast<int>(state.iterations())) state.SkipWithError("a pass did not end in a no-fill");
  state.counters["us_per_network"] = seconds / static_cast<double>(state.iterations()) / networks * 1e6;
}
BENCHMARK(BM_WaterfallOfFailingNetworks)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
