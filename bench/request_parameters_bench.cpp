// Building the parameters of one interstitial request, as the SDK does on the main
// thread for every ad it asks for: the request's own dictionary (device, network and
// targeting keys, the request signal) overlaid with the slot's keys. The time per
// iteration is the time per request; it must stay well under a millisecond.
#include <memory>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/TestEnvironment.h"

namespace {

void BM_InterstitialRequestParameters(benchmark::State& state) {
  testenv::TestEnvironment env;
  auto slot = ZUMSlot::create();
  slot->setAdType(ZUMAdType::createForInterstitial(), false);
  slot->setAdUnitID("unit-A/interstitial");
  slot->setCorrelator(ZUMCorrelator::create());
  slot->setRequestID("1");
  auto request = ZUMRequest::create();
  request->setKeywords(nlohmann::ordered_json{"sports", "news"});
  request->setContentURL("https://www.example.com/article");
  request->setCustomTargeting(nlohmann::ordered_json{{"section", "front"}});
  env.runUntilIdle();

  std::size_t keys = 0;
  for (auto _ : state) {
    nlohmann::ordered_json parameters = slot->requestParametersForRequest(request);
    keys = parameters.size();
    benchmark::DoNotOptimize(parameters);
  }
  state.counters["keys"] = static_cast<double>(keys);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InterstitialRequestParameters)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
