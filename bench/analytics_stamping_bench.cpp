// Stamping a click's tracking URLs with the analytics ad-event id: 10 URL strings
// against a schema of 5 patterns (half the URLs match one), against parsing the same 10
// strings alone. The ratio of the two times is what the bridge adds to a click.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "sdk/telemetry/ZUMAnalytics.h"
#include "testing/TestEnvironment.h"

namespace {

using Stubs = ZUMStubsForQENAnalytics;

struct Framework : Stubs::Identifiers, Stubs::InternalEventLogger, Stubs::Class {
  std::optional<std::string> vantorAppID() override { return "app-1"; }
  std::optional<std::string> appInstanceID() override { return "instance-1"; }
  std::optional<std::string> adEventID() override { return "event-1"; }
  void logInternalEventWithOrigin(const std::string&, const std::string&, const nlohmann::ordered_json&) override {}
  std::shared_ptr<Stubs::Object> sharedInstance() override { return self.lock(); }
  std::weak_ptr<Framework> self;
};

std::vector<std::string> clickURLs() {
  std::vector<std::string> urls;
  for (int i = 0; i < 10; ++i) {
    const std::string host =
        i % 2 ? "https://tracker-" + std::to_string(i) + ".example" : "https://ads.adnetwork.example";
    urls.push_back(host + "/tapr?md=K&cr=Q" + std::to_string(i) +
                   "x7Qd9&pos=1&tok=ZQX41_3kf&adurl=https://shop.example/p");
  }
  return urls;
}

class Fixture : public benchmark::Fixture {
 public:
  void SetUp(benchmark::State&) override {
    env = std::make_unique<testenv::TestEnvironment>();
    auto framework = std::make_shared<Framework>();
    framework->self = framework;
    for (const char* name : {ZUMAnalytics::kIdentifiersClassName, ZUMAnalytics::kAnalyticsClassName}) {
      platform::ClassRegistry::shared().registerClass<Stubs::Class>(name, [framework] { return framework; });
    }
    auto& defaults = platform::UserDefaults::standard();
    (void)defaults.setObject("1", "/vantor/ads/zums:sai:enabled");
    (void)defaults.setObject(
        nlohmann::ordered_json::array({"^https://ads\\.adnetwork\\.example/tapr", "/offer/conversions",
                                       "^https://[^/]*\\.relayclicks\\.example/", "[?&]qzt=", "/rdx/tap/"}),
        "/vantor/ads/zums:sai:click_ping_schema");
  }
  void TearDown(benchmark::State&) override { env.reset(); }
  std::unique_ptr<testenv::TestEnvironment> env;
};

BENCHMARK_F(Fixture, ParseTenClickURLs)(benchmark::State& state) {
  const auto strings = clickURLs();
  for (auto _ : state) {
    for (const auto& s : strings) benchmark::DoNotOptimize(platform::URL::fromString(s));
  }
}

BENCHMARK_F(Fixture, StampTenClickURLsAgainstFivePatterns)(benchmark::State& state) {
  const auto strings = clickURLs();
  for (auto _ : state) benchmark::DoNotOptimize(ZUMTrackingURLStringsWithAdEventID(strings, "_ac"));
  env->runUntilIdle();
}

}  // namespace

BENCHMARK_MAIN();
