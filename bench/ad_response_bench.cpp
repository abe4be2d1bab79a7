// Memory an endless response can make the host keep, as peak resident size above the
// level reached before it (getrusage's maximum RSS): one ad response through the
// ad-response loader (cap 4 MiB), and one one-shot request with a caller's cap of 1, 4
// or 16 MiB. Each must end at its cap; the ad's "rss_growth_mb" must stay under 8 MB.
// The peak only ever rises, so only the first benchmark of a run reads true: measure
// each alone, e.g. `ad_response_bench --benchmark_filter=OneShot.*/16/`.
#include <memory>
#include <string>
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include "platform/base/OperationQueue.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLLoading.h"
#include "sdk/network/ZUMURLConnection.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

double peakRSSMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

class Ending : public ZUMURLConnectionDelegate {
 public:
  platform::ErrorPtr connectionShouldRedirectToURL(ZUMURLConnection&, const platform::URL&) override { return nullptr; }
  void connectionWillPerformRedirect(ZUMURLConnection&, const std::shared_ptr<ZUMURLConnectionRedirect>&) override {}
  bool connectionLoadShouldUseCacheForResponse(ZUMURLConnection&, const platform::HTTPURLResponse&) override {
    return false;
  }
  void connectionLoadDidReceiveCachedResponse(ZUMURLConnection&, const platform::HTTPURLResponse&) override {}
  void connectionLoadDidFinish(ZUMURLConnection&, const std::string&, const platform::URL&) override { done = true; }
  void connectionLoadDidFail(ZUMURLConnection&, const platform::ErrorPtr& e, std::int64_t) override {
    done = true;
    error = e;
  }
  bool done = false;
  platform::ErrorPtr error;
};

struct Setting {
  testenv::TestEnvironment env;
  testenv::LoopbackServer server;
  Setting() {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
    server.route("/small", {.body = std::string(1000, 'x')});
    server.route("/endless", {.body = std::string(64 * 1024, 'x'), .endless = true});
  }
  // One load through the ad-response loader; whether it failed.
  bool adLoad(const std::string& path) {
    auto ending = std::make_shared<Ending>();
    auto connection = ZUMURLConnection::create();
    platform::URLRequest request(*platform::URL::fromString("https://ads.example.com" + path));
    if (!connection->startWithRequestURL(request, ending, nullptr)) return false;
    env.runUntil([&] { return ending->done; });
    return ending->error != nullptr;
  }
  bool oneShot(const std::string& path, std::size_t cap) {
    bool done = false, failed = false;
    platform::URLConnection::sendAsynchronousRequest(
        platform::URLRequest(*platform::URL::fromString("https://ads.example.com" + path)), nullptr,
        [&](std::optional<platform::HTTPURLResponse>, std::string, platform::ErrorPtr error) {
          done = true;
          failed = error != nullptr;
        },
        cap);
    env.runUntil([&] { return done; });
    return failed;
  }
};

void BM_EndlessAdResponsePeakRSS(benchmark::State& state) {
  Setting setting;
  setting.adLoad("/small");  // warms the transport, its thread and the server
  const double before = peakRSSMegabytes();
  for (auto _ : state) {
    if (!setting.adLoad("/endless")) state.SkipWithError("the endless ad response did not fail");
  }
  state.counters["rss_growth_mb"] = peakRSSMegabytes() - before;
  state.counters["cap_mb"] = static_cast<double>(ZUMURLConnection::kMaximumBodyBytes) / (1 << 20);
}
BENCHMARK(BM_EndlessAdResponsePeakRSS)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_EndlessOneShotRequestPeakRSS(benchmark::State& state) {
  Setting setting;
  const auto cap = static_cast<std::size_t>(state.range(0)) << 20;
  setting.oneShot("/small", cap);
  const double before = peakRSSMegabytes();
  for (auto _ : state) {
    if (!setting.oneShot("/endless", cap)) state.SkipWithError("the endless request did not fail");
  }
  state.counters["rss_growth_mb"] = peakRSSMegabytes() - before;
}
BENCHMARK(BM_EndlessOneShotRequestPeakRSS)->Arg(4)->Arg(1)->Arg(16)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
