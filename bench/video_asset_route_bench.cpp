// Bytes handed to the player through the asset-loading item's "video" route from a
// finished cache, against reading the same file directly, in one run. The file (16 MB) is
// served in 4 MB loading requests, each served in one pass; the direct read takes the same
// chunks with pread(), chunk by chunk in turn. "ratio_to_file" is the route's time over
// the direct read's (target: at most 1.5; read the median of the repetitions, since other
// work on the machine spreads single runs).
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/media/Asset.h"
#include "platform/media/AssetResourceLoader.h"
#include "platform/net/URLLoading.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/video/ZUMAssetLoadingVideoPlayerItem.h"
#include "sdk/video/ZUMVideoAssetLoader.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

constexpr std::int64_t kFileBytes = 16 * 1024 * 1024;
constexpr std::int64_t kRequestBytes = 4 * 1024 * 1024;

double seconds(std::chrono::steady_clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

void BM_VideoRouteFromFinishedCache(benchmark::State& state) {
  testenv::TestEnvironment env;
  testenv::LoopbackServer server;
  std::string body(static_cast<std::size_t>(kFileBytes), '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131) >> 3);
  server.route("/video.mp4", {.body = body, .contentType = "video/mp4"});
  const auto url = *platform::URL::fromString(server.baseURL() + "/video.mp4");
  const auto file = env.temporaryDirectory() / "video.cache";
  auto cache = ZUMResourceCache::create(platform::URLRequest(url), platform::URL::fileURL(file), true);
  cache->start();
  if (!env.runUntil([&] { return cache->isCompleted(); }, std::chrono::seconds(120)) || !cache->isValid()) {
    state.SkipWithError("download failed");
    return;
  }
  auto configuration = ZUMVideoConfigurationImpl::create(nlohmann::ordered_json{{"maxBufferMs", 30000}});
  auto item = ZUMAssetLoadingVideoPlayerItem::create(url, ZUMVideoAssetLoader::create(url, cache, configuration),
                                                     configuration);
  env.runUntilIdle();
  const int fd = ::open(file.c_str(), O_RDONLY);
  const auto videoURL = *platform::URL::fromString("video://media.example/video.mp4");

  double routeSeconds = 0, fileSeconds = 0;
  // Each chunk through the route and directly, in turns (which goes first alternates,
  // so neither always finds the other's freed buffer warm), under the same load.
  auto viaRoute = [&](std::int64_t offset) {
    const auto begin = std::chrono::steady_clock::now();
    auto request = std::make_shared<platform::AssetResourceLoadingRequest>(
        platform::URLRequest(videoURL), std::weak_ptr<platform::LoaderByteSource>(), false,
        platform::AssetResourceLoadingRequest::DataRange{offset, kRequestBytes, false});
    item->lockQueue()->async([&] {
      (void)item->resourceLoaderShouldWaitForLoadingOfRequestedResource(*item->asset()->resourceLoader(), request);
    });
    env.runUntilIdle();
    routeSeconds += seconds(std::chrono::steady_clock::now() - begin);
    return request->dataRequest()->currentOffset() - offset;
  };
  auto direct = [&](std::int64_t offset) {
    const auto begin = std::chrono::steady_clock::now();
    std::string chunk(static_cast<std::size_t>(kRequestBytes), '\0');
    const auto n = ::pread(fd, chunk.data(), chunk.size(), offset);
    benchmark::DoNotOptimize(chunk.data());
    fileSeconds += seconds(std::chrono::steady_clock::now() - begin);
    return static_cast<std::int64_t>(n);
  };
  bool routeFirst = true;
  for (auto _ : state) {
    std::int64_t handed = 0, read = 0;
    for (std::int64_t offset = 0; offset < kFileBytes; offset += kRequestBytes) {
      if (routeFirst) {
        handed += viaRoute(offset);
        read += direct(offset);
      } else {
        read += direct(offset);
        handed += viaRoute(offset);
      }
      routeFirst = !routeFirst;
    }
    if (handed != kFileBytes || read != kFileBytes) {
      state.SkipWithError("short");
      break;
    }
  }
  ::close(fd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFileBytes);
  if (fileSeconds > 0) state.counters["ratio_to_file"] = routeSeconds / fileSeconds;
}
BENCHMARK(BM_VideoRouteFromFinishedCache)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
