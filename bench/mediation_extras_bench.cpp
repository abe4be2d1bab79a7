// BM_MediationExtrasOfManyKeys/N: a mediation entry whose extras, as the server sent them,
// hold N string keys (1k, 10k, 100k), copied into the network request's parameters
// beside the publisher's own. "ns_per_key" must stay flat as N grows (within 3x from 1k
// to 100k; copying and freeing the values dominates, and their memory outgrows the caches):
// the server chooses N, and a look-up of each key among the ones before it would make the
// copy grow with N squared (about 130x from 1k to 100k).
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMRequest.h"
#include "sdk/mediation/ZUMMRequestFromMediation.h"
#include "sdk/mediation/ZUMMediationAdRequestInternal.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

// A connector's answers: the publisher's extras, and the entry's extras of the server.
struct Answers : ZUMMediationAdRequestInternal {
  std::optional<std::string> publisherId() const override { return std::nullopt; }
  Json credentials() const override { return Json::object(); }
  bool testMode() const override { return false; }
  std::shared_ptr<ZUMAdNetworkExtras> networkExtras() const override { return publisher; }
  std::optional<bool> childDirectedTreatment() const override { return std::nullopt; }
  ZUMGender userGender() const override { return kZUMGenderUnknown; }
  std::optional<platform::TimeInterval> userBirthday() const override { return std::nullopt; }
  bool userHasLocation() const override { return false; }
  double userLatitude() const override { return 0; }
  double userLongitude() const override { return 0; }
  double userLocationAccuracyInMeters() const override { return 0; }
  std::optional<std::string> userLocationDescription() const override { return std::nullopt; }
  std::optional<std::vector<std::string>> userKeywords() const override { return std::nullopt; }
  std::optional<Json> inlineAd() const override { return std::nullopt; }
  std::optional<Json> extras() const override { return entry; }
  std::vector<std::vector<std::string>> adapterNames() const override { return {}; }
  std::string currentAdapterName() const override { return "BenchAdapter"; }
  std::optional<std::string> userRequestAgent() const override { return std::nullopt; }

  std::shared_ptr<ZUMExtras> publisher = ZUMExtras::create();
  Json entry = Json::object();
};

void BM_MediationExtrasOfManyKeys(benchmark::State& state) {
  testenv::TestEnvironment env;
  const auto keys = static_cast<std::size_t>(state.range(0));
  Answers answers;
  answers.publisher->setAdditionalParameters(Json{{"q", "v"}, {"e1", "publisher"}});
  auto& entry = answers.entry.get_ref<Json::object_t&>();
  for (std::size_t i = 0; i < keys; ++i) entry.emplace_back("e" + std::to_string(i), "v" + std::to_string(i % 10));
  double seconds = 0;
  for (auto _ : state) {
    auto request = ZUMRequest::create();
    const auto start = std::chrono::steady_clock::now();
    ZUMRequestConfigureNetworkExtrasWithMediationAdRequest(*request, &answers);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto extras = request->adNetworkExtrasFor<ZUMExtras>();
    // The publisher's two keys, "pw", and every entry key but "e1", which the publisher had.
    const std::size_t expected = keys + 2;
    if (!extras || extras->additionalParameters().value_or(Json()).size() != expected) {
      return state.SkipWithError("the extras were not copied whole");
    }
  }
  state.counters["ns_per_key"] = seconds * 1e9 / static_cast<double>(state.iterations() * keys);
}
BENCHMARK(BM_MediationExtrasOfManyKeys)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
