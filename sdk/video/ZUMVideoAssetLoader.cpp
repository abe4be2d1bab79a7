#include "sdk/video/ZUMVideoAssetLoader.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>

#include "platform/base/FileManager.h"
#include "platform/base/TestingReset.h"
#include "platform/net/URLRequest.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/network/ZUMTCacheURL.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"

namespace {

// Numbers the ranged download files of a run.
std::atomic<std::int64_t> gFileCounter{0};
[[maybe_unused]] const bool kCounterResets = platform::resetBetweenTests(gFileCounter, std::int64_t{0});

// Files of earlier runs go before the first asset loader of this one.
void removeFolderOnce() {
  static auto* once = new platform::ResettableOnceFlag();
  once->call([] {
    const auto folder = ZUMCacheDirectoryURL(ZUMVideoAssetLoader::kFolderName, nullptr);
    if (!folder) return;
    if (const auto path = folder->path()) (void)platform::FileManager::removeItem(*path);
  });
}

std::optional<platform::URL> makeEmptyFile(platform::ErrorPtr* error) {
  const auto folder = ZUMCacheDirectoryURL(ZUMVideoAssetLoader::kFolderName, error);
  if (!folder) return std::nullopt;
  char name[48];
  std::snprintf(name, sizeof name, "video_asset_%" PRId64 ".cache", gFileCounter.fetch_add(1));
  const auto file = folder->appendingPathComponent(name);
  const auto path = file.path();
  if (!path || !platform::FileManager::writeAtomically(*path, "")) {
    if (error) {
      *error = ZUMMakeErrorWithDescription(kZUMErrorInternalError,
                                           "Fail to create file with empty content at URL " + file.absoluteString());
    }
    return std::nullopt;
  }
  return file;
}

}  // namespace

std::shared_ptr<ZUMVideoAssetLoader> ZUMVideoAssetLoader::create(
    const platform::URL& videoURL, std::shared_ptr<ZUMResourceCache> mainResourceCache,
    std::shared_ptr<ZUMVideoConfigurationImpl> configuration) {
  removeFolderOnce();
  auto source = ZUMURLFromTCacheURL(videoURL).value_or(videoURL);
  if (!configuration) configuration = ZUMVideoConfigurationImpl::create();
  return std::shared_ptr<ZUMVideoAssetLoader>(
      new ZUMVideoAssetLoader(std::move(source), std::move(mainResourceCache), std::move(configuration)));
}

ZUMVideoAssetLoader::ZUMVideoAssetLoader(platform::URL sourceURL, std::shared_ptr<ZUMResourceCache> mainResourceCache,
                                         std::shared_ptr<ZUMVideoConfigurationImpl> configuration)
    : sourceURL_(std::move(sourceURL)),
      mainResourceCache_(std::move(mainResourceCache)),
      configuration_(std::move(configuration)) {}

std::optional<ZUMVideoAssetLoader::Slice> ZUMVideoAssetLoader::getResourceCache(std::int64_t offset,
                                                                                platform::ErrorPtr* error) {
  const double wait = configuration_->videoAssetLoaderMaxDownloadWaitTimeInterval();
  if (ZUMResourceCacheWillHaveByteWithinTime(mainResourceCache_, 0, offset, wait)) return Slice{mainResourceCache_, 0};
  std::lock_guard lock(mutex_);
  if (resourceCache_ && resourceCache_->serverIgnoredRange() && !serverIgnoresRanges_) {
    ZUMLog(kZUMLogLevelDefault, "The server of " + sourceURL_.absoluteString() +
                                    " ignores byte ranges: the video is downloaded from its start.");
    serverIgnoresRanges_ = true;
    resourceCache_.reset();
  }
  if (serverIgnoresRanges_) {
    // One download holds every byte sooner or later; another would only start over.
    if (resourceCache_ && resourceCache_->isValid()) return Slice{resourceCache_, 0};
  } else if (ZUMResourceCacheWillHaveByteWithinTime(resourceCache_, resourceCacheStartingByteOffset_, offset, wait)) {
    return Slice{resourceCache_, resourceCacheStartingByteOffset_};
  }
  const std::int64_t start = serverIgnoresRanges_ ? 0 : std::max<std::int64_t>(0, offset);
  auto cache = startDownload(start, error);
  if (!cache) return std::nullopt;
  resourceCache_ = cache;
  resourceCacheStartingByteOffset_ = start;
  return Slice{std::move(cache), start};
}

std::shared_ptr<ZUMResourceCache> ZUMVideoAssetLoader::startDownload(std::int64_t offset, platform::ErrorPtr* error) {
  platform::URLRequest request(sourceURL_, platform::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData);
  if (!serverIgnoresRanges_) request.setValue("bytes=" + std::to_string(offset) + "-", "Range");
  const auto file = makeEmptyFile(error);
  if (!file) return nullptr;
  auto cache = ZUMResourceCache::create(std::move(request), *file, /*removeFileOnDealloc=*/true);
  if (!cache) return nullptr;
  cache->setMaxBytes(serverIgnoresRanges_ ? -1 : configuration_->videoAssetLoaderMaxContentSizeInBytes());
  cache->start();
  return cache;
}

void ZUMVideoAssetLoader::finishedUsingResourceCache(const std::shared_ptr<ZUMResourceCache>& cache) {
  if (!cache || cache == mainResourceCache_) return;
  {
    std::lock_guard lock(mutex_);
    if (serverIgnoresRanges_ && cache == resourceCache_) return;
  }
  cache->cancelWithError(nullptr);
}

ZUMVideoAssetLoader::Slice ZUMVideoAssetLoader::currentRangedCache() const {
  std::lock_guard lock(mutex_);
  return {resourceCache_, resourceCacheStartingByteOffset_};
}
