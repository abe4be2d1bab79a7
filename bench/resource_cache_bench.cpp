// The resource cache writing a large download from the loopback server into its file,
// against its floor in the same run: a bare libcurl download of the same bytes from the
// same server into a file. "ratio_to_curl" is the cache's download time over the bare
// download's; reading the file back in ranges is timed apart ("read_back_ms").
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

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

double seconds(std::chrono::steady_clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// One bare libcurl download of `url` into `target`; the bytes written.
std::int64_t curlDownload(const std::string& url, const std::filesystem::path& target) {
  std::FILE* file = std::fopen(target.c_str(), "wb");
  if (!file) return -1;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, file);
  curl_easy_setopt(
      easy, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
        return std::fwrite(data, size, count, static_cast<std::FILE*>(out));
      });
  const CURLcode result = curl_easy_perform(easy);
  curl_off_t bytes = -1;
  curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &bytes);
  curl_easy_cleanup(easy);
  std::fclose(file);
  return result == CURLE_OK ? static_cast<std::int64_t>(bytes) : -1;
}

void BM_ResourceCacheLargeFile(benchmark::State& state) {
  testenv::TestEnvironment env;
  testenv::LoopbackServer server;
  platform::URLLoading::setLoopbackOnlyForTesting(true);
  platform::URLLoading::mapHostForTesting("cdn.example.com", "127.0.0.1", server.port());
  const std::string body = makeBody();
  server.route("/large.bin", {.body = body, .contentType = "application/octet-stream"});
  const auto fileURL = platform::URL::fileURL(env.temporaryDirectory() / "cache.bin");
  const platform::URLRequest request(*platform::URL::fromString("https://cdn.example.com/large.bin"));

  double cacheSeconds = 0;
  double curlSeconds = 0;
  double readSeconds = 0;
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
    cacheSeconds += seconds(std::chrono::steady_clock::now() - begin);
    begin = std::chrono::steady_clock::now();
    std::int64_t read = 0;
    for (std::int64_t offset = 0; offset < cache->cachedContentSize(); offset += kReadChunk) {
      auto chunk = cache->dataWithRange(offset, std::min(kReadChunk, cache->cachedContentSize() - offset), nullptr);
      if (!chunk) break;
      read += static_cast<std::int64_t>(chunk->size());
      benchmark::DoNotOptimize(chunk->data());
    }
    cache.reset();
    readSeconds += seconds(std::chrono::steady_clock::now() - begin);
    if (read != static_cast<std::int64_t>(kFileBytes)) {
      state.SkipWithError("read back failed");
      break;
    }

    begin = std::chrono::steady_clock::now();
    const auto bytes = curlDownload(server.baseURL() + "/large.bin", env.temporaryDirectory() / "curl.bin");
    curlSeconds += seconds(std::chrono::steady_clock::now() - begin);
    if (bytes != static_cast<std::int64_t>(kFileBytes)) {
      state.SkipWithError("bare download failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kFileBytes));
  if (curlSeconds > 0) state.counters["ratio_to_curl"] = cacheSeconds / curlSeconds;
  if (state.iterations() > 0)
    state.counters["read_back_ms"] = readSeconds * 1000 / static_cast<double>(state.iterations());
  platform::URLLoading::removeHostMappingsForTesting();
}
BENCHMARK(BM_ResourceCacheLargeFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
