// BM_ConfigureFortyNetworks: making the configuration of a mediation response of 40
// networks, against decoding the same JSON alone. Each iteration decodes the text and
// builds the configuration; the counter "configure_over_decode" is the whole time over the
// decoding time (1.0 would mean the configuration costs nothing beyond decoding).
//
// BM_ConfigureSettingsOfManyKeys/N: the same, decoding included, for a response whose
// "settings" hold N keys (1k, 10k, 40k) beside its own: "ns_per_key" must stay flat as N
// grows (within 2x), since the server chooses N.
#include <chrono>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdapterClass.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

std::string responseOf(int networks) {
  Json list = Json::array();
  for (int i = 0; i < networks; ++i) {
    list.push_back({{"id", 1000 + i},
                    {"allocation_id", "alloc-" + std::to_string(i)},
                    {"data", {{"pubid", "pid-" + std::to_string(i)}, {"label", "L"}}},
                    {"adapters", {"MissingBenchAdapter", "BenchAdapter"}},
                    {"imp_urls", {"https://imp.example/?n=@pw_adnetid@&q=@pw_qdata@"}},
                    {"clickurl", {"https://clk.example/?n=@pw_adnetid@"}},
                    {"fill_urls", {"https://fill.example/?s=@pw_adnetstatus@"}},
                    {"slot_sizes", {"320x50"}}});
  }
  return Json{
      {"qdata", "bench-qdata"},
      {"settings",
       {{"refresh", 60}, {"ad_network_timeout_millis", 2500}, {"nofill_urls", {"https://nf.example/?a=@pw_aec@"}}}},
      {"ad_networks", list}}
      .dump();
}

void BM_ConfigureFortyNetworks(benchmark::State& state) {
  testenv::TestEnvironment env;
  ZUMMRegisterAdapterClass(
      "BenchAdapter", std::make_shared<ZUMMAdapterClass>(),
      {.protocols = {kZUMMAdNetworkAdapterProtocol}, .operations = {kZUMMGetBannerWithSizeOperation}});
  const std::string text = responseOf(40);
  double decodeSeconds = 0;
  double allSeconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    platform::ErrorPtr error;
    auto decoded = zum_decodedJSONObjectError(text, &error);
    const auto decodedAt = std::chrono::steady_clock::now();
    auto config = ZUMMConfig::create("unit-A", *decoded, &error);
    const auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(config);
    decodeSeconds += std::chrono::duration<double>(decodedAt - start).count();
    allSeconds += std::chrono::duration<double>(end - start).count();
  }
  state.counters["configure_over_decode"] = decodeSeconds > 0 ? allSeconds / decodeSeconds : 0;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConfigureFortyNetworks)->Unit(benchmark::kMicrosecond);

void BM_ConfigureSettingsOfManyKeys(benchmark::State& state) {
  testenv::TestEnvironment env;
  ZUMMRegisterAdapterClass(
      "BenchAdapter", std::make_shared<ZUMMAdapterClass>(),
      {.protocols = {kZUMMAdNetworkAdapterProtocol}, .operations = {kZUMMGetBannerWithSizeOperation}});
  const auto keys = static_cast<std::size_t>(state.range(0));
  Json response = Json::parse(responseOf(1));
  auto& settings = response["settings"].get_ref<Json::object_t&>();
  for (std::size_t i = 0; i < keys; ++i) settings.emplace_back("s" + std::to_string(i), static_cast<int>(i % 10));
  const std::string text = response.dump();
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    platform::ErrorPtr error;
    auto decoded = zum_decodedJSONObjectError(text, &error);
    auto config = decoded ? ZUMMConfig::create("unit-A", *decoded, &error) : nullptr;
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!config) return state.SkipWithError("the response was not configured");
  }
  state.counters["ns_per_key"] = seconds * 1e9 / static_cast<double>(state.iterations() * keys);
}
BENCHMARK(BM_ConfigureSettingsOfManyKeys)->Arg(1'000)->Arg(10'000)->Arg(40'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
