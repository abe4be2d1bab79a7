// The resource cache writing a large download from the loopback server into its file and
// reading it back in ranges, against a plain copy of the same bytes from file to file in
// the same run. The counter "ratio_to_file_copy" is the cache's time over the copy's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/base/FileManager.h"
#include "platform/net/URLLoading.h"
#include "sdk/network/ZUMResourceCache.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

constexpr std::size_t kFileBytes = 32 * 1024 * 1024;
constexpr std::int64_t kReadChunk = 256 * 1024;

std::string makeBody() {
  std::string body(kFileBytes, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131) >> 3);
  return body;
}

class Done : public ZUMResourceCacheDelegate {
 public:
  void resourceCacheDidSucceedCaching(const std::shared_ptr<ZUMResourceCache>&) override { done = true; }
  void resourceCacheDidFailCachingWithError(const std::shared_ptr<ZUMResourceCache>&,
                                            const platform::ErrorPtr&) override {
    done = true;
    failed = true;
  }
  bool done = false;
  bool failed = false;
};

double seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

// One plain copy of `source` to `target`, through a buffer as the cache reads and writes.
void copyFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  std::ifstream in(source, std::ios::binary);
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  std::string buffer(kReadChunk, '\0');
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    out.write(buffer.data(), in.gcount());
  }
}

void BM_ResourceCacheLargeFile(benchmark::State& state) {
  testenv::TestEnvironment env;
  testenv::LoopbackServer server;
  platform::URLLoading::setLoopbackOnlyForTesting(true);
  platform::URLLoading::mapHostForTesting("cdn.example.com", "127.0.0.1", server.port());
  const std::string body = makeBody();
  server.route("/large.bin", {.body = body, .contentType = "application/octet-stream"});
  const auto source = env.temporaryDirectory() / "source.bin";
  platform::FileManager::writeAtomically(source, body);
  const auto fileURL = platform::URL::fileURL(env.temporaryDirectory() / "cache.bin");
  const platform::URLRequest request(*platform::URL::fromString("https://cdn.example.com/large.bin"));

  double cacheSeconds = 0;
  double copySeconds = 0;
  for (auto _ : state) {
    auto begin = std::chrono::steady_clock::now();
    auto cache = ZUMResourceCache::create(request, fileURL, true);
    auto delegate = std::make_shared<Done>();
    cache->setDelegate(delegate);
    cache->start();
    env.runUntil([&] { return delegate->done; }, std::chrono::seconds(120));
    if (delegate->failed || cache->cachedContentSize() != static_cast<std::int64_t>(kFileBytes)) {
      state.SkipWithError("download failed");
      break;
    }
    std::int64_t read = 0;
    for (std::int64_t offset = 0; offset < cache->cachedContentSize(); offset += kReadChunk) {
      auto chunk = cache->dataWithRange(offset, std::min(kReadChunk, cache->cachedContentSize() - offset), nullptr);
      if (!chunk) break;
      read += static_cast<std::int64_t>(chunk->size());
      benchmark::DoNotOptimize(chunk->data());
    }
    cache.reset();
    cacheSeconds += seconds(std::chrono::steady_clock::now() - begin);
    if (read != static_cast<std::int64_t>(kFileBytes)) {
      state.SkipWithError("read back failed");
      break;
    }

    begin = std::chrono::steady_clock::now();
    copyFile(source, env.temporaryDirectory() / "copy.bin");
    copySeconds += seconds(std::chrono::steady_clock::now() - begin);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kFileBytes));
  if (copySeconds > 0) state.counters["ratio_to_file_copy"] = cacheSeconds / copySeconds;
  platform::URLLoading::removeHostMappingsForTesting();
}
BENCHMARK(BM_ResourceCacheLargeFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
