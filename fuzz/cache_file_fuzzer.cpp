// Cache files as a later run finds them on disk, of any bytes: the versioned cache reads
// back exactly the content and version it finds, and the resource cache's ranged reads
// give the bytes at the range or an error, never more and never a crash.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "platform/net/URLRequest.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/network/ZUMVersionedCache.h"

namespace {

void write(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  fuzzenv::setUpOnce("cache_file");
  const std::size_t versionLength = std::min<std::size_t>(data[0], size - 3);
  const std::int64_t offset = static_cast<std::int8_t>(data[1]);
  const std::int64_t length = static_cast<std::int8_t>(data[2]);
  const std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
  const std::string_view version = rest.substr(0, versionLength);
  const std::string_view content = rest.substr(versionLength);

  const std::string cacheID = "unit-A-script";
  auto fileURL = ZUMResourceCache::fileURLForCacheID(cacheID, nullptr);
  fuzzenv::check(fileURL && fileURL->path());
  std::string versionPath = *fileURL->path();
  versionPath.replace(versionPath.rfind('.'), std::string::npos, ".version");
  write(*fileURL->path(), content);
  write(versionPath, version);

  auto cache = ZUMVersionedCache::create(cacheID);
  fuzzenv::check(cache->cacheData() == std::string(content));
  fuzzenv::check(cache->cacheVersion() == std::string(version));

  auto resource = ZUMResourceCache::create(
      platform::URLRequest(*platform::URL::fromString("https://cdn.example.com/v")), *fileURL, false);
  fuzzenv::check(resource != nullptr);
  platform::ErrorPtr error;
  auto bytes = resource->dataWithRange(offset, length, &error);
  const bool inRange = offset >= 0 && length >= 0 && static_cast<std::size_t>(offset + length) <= content.size();
  fuzzenv::check(bytes.has_value() == inRange);
  if (bytes)
    fuzzenv::check(*bytes == content.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
  if (!bytes) fuzzenv::check(error != nullptr);
  fuzzenv::drainMainLoop();
  return 0;
}
