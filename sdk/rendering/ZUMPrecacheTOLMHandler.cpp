#include "sdk/rendering/ZUMPrecacheTOLMHandler.h"

#include <atomic>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/base/FileManager.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/TestingReset.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/rendering/ZUMVideoConfiguration.h"
#include "sdk/rendering/ZUMVideoSourceURL.h"

namespace {

constexpr const char* kPrecacheFolder = "Precache";

// Numbers the precache files of a run.
std::atomic<std::uint32_t> gPrecacheFileCounter{0};
[[maybe_unused]] const bool kCounterResets = platform::resetBetweenTests(gPrecacheFileCounter, std::uint32_t{0});

// Files of earlier runs go before the first precache of this one.
void removePrecacheFolderOnce() {
  static auto* once = new platform::ResettableOnceFlag();
  once->call([] {
    const auto folder = ZUMCacheDirectoryURL(kPrecacheFolder, nullptr);
    if (!folder) return;
    if (const auto path = folder->path()) (void)platform::FileManager::removeItem(*path);
  });
}

// A new empty file in the precache folder; std::nullopt with the error.
std::optional<platform::URL> makePrecacheFile(platform::ErrorPtr* error) {
  const auto folder = ZUMCacheDirectoryURL(kPrecacheFolder, error);
  if (!folder) return std::nullopt;
  char name[32];
  std::snprintf(name, sizeof name, "precache_%u.cache", static_cast<unsigned>(gPrecacheFileCounter.fetch_add(1)));
  const auto file = folder->appendingPathComponent(name);
  const auto path = file.path();
  if (!path || !platform::FileManager::writeAtomically(*path, "")) {
    *error = ZUMMakeErrorWithDescription(kZUMErrorInternalError,
                                         "Fail to create file with empty content at URL " + file.absoluteString());
    return std::nullopt;
  }
  return file;
}

}  // namespace

std::shared_ptr<ZUMPrecacheTOLMHandler> ZUMPrecacheTOLMHandler::create() {
  removePrecacheFolderOnce();
  return std::shared_ptr<ZUMPrecacheTOLMHandler>(new ZUMPrecacheTOLMHandler());
}

void ZUMPrecacheTOLMHandler::adViewDidReceivePrecacheNotification(ZUMAdView& adView,
                                                                  const nlohmann::ordered_json& parameters) {
  platform::assertMainThread();
  if (!adView_.lock()) adView_ = std::static_pointer_cast<ZUMAdView>(adView.shared_from_this());
  bool hasSource = ZUMTOLMHandler::hasParameter(parameters, "src");
  if (auto url = ZUMTOLMHandler::URLParameter(parameters, "src")) {
    if (ZUMIsRemoteVideoSourceURL(*url)) {
      sourceURL_ = std::move(url);
    } else {
      // Never the previous source in its place: the page asked for this one.
      ZUMLog(kZUMLogLevelDefault, "Precache source refused: only http(s) videos are downloaded.");
      hasSource = false;
    }
  }
  videoConfiguration_ = ZUMVideoConfiguration::create(parameters);
  byteThresholdToNotify_ = ZUMTOLMHandler::integerParameter(parameters, "notifyBytes", 0);
  if (ZUMTOLMHandler::hasParameter(parameters, "abort")) {
    abort();
  } else if (hasSource) {
    preload();
  }
}

void ZUMPrecacheTOLMHandler::preload() {
  platform::assertMainThread();
  if (!sourceURL_ || hasStartedPreloading_) return;
  auto request = ZUMURLRequestWithBody(sourceURL_, std::nullopt, std::nullopt, std::nullopt);
  platform::ErrorPtr error;
  const auto file = request ? makePrecacheFile(&error) : std::nullopt;
  auto cache = file ? ZUMResourceCache::create(*request, *file, /*removeFileOnDealloc=*/true) : nullptr;
  if (!cache) {
    ZUMLog(kZUMLogLevelDefault, "Precache failed: " + (error ? error->localizedDescription() : std::string("no file")));
    abort();
    return;
  }
  hasNotifiedAtByteThreshold_ = false;
  hasStartedPreloading_ = true;
  resourceCache_ = std::move(cache);
  resourceCache_->setDelegate(weak_from_this());
  const std::int64_t limit = videoConfiguration_ ? videoConfiguration_->precacheMaxBufferBytes() : -1;
  cappedAtMaximum_ = limit < 0 || limit > kZUMPrecacheMaximumBytes;
  resourceCache_->setMaxBytes(cappedAtMaximum_ ? kZUMPrecacheMaximumBytes : limit);
  resourceCache_->start();
}

std::int64_t ZUMPrecacheTOLMHandler::lastBytesAfterCleanUp() {
  std::int64_t bytes = 0;
  if (resourceCache_) {
    bytes = resourceCache_->cachedContentSize();
    resourceCache_->setDelegate({});
    resourceCache_->cancelWithError(ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Precache cleanup."));
    if (const auto path = resourceCache_->fileURL().path()) (void)platform::FileManager::removeItem(*path);
  }
  hasStartedPreloading_ = false;
  return bytes;
}

void ZUMPrecacheTOLMHandler::abort() {
  platform::assertMainThread();
  const auto bytes = lastBytesAfterCleanUp();
  dispatchPrecacheEventWithBytesLoaded(static_cast<std::uint64_t>(bytes),
                                       resourceCache_ ? resourceCache_->contentLength() : 0, "precacheCanceled");
}

void ZUMPrecacheTOLMHandler::dispatchPrecacheEventWithBytesLoaded(std::uint64_t bytesLoaded, std::int64_t totalBytes,
                                                                  const char* event) {
  auto adView = adView_.lock();
  if (!adView) return;
  adView->postJSNotification("onPrecacheEvent",
                             nlohmann::ordered_json{
                                 {"bytesLoaded", bytesLoaded},
                                 {"totalBytes", totalBytes},
                                 {"event", event},
                                 {"src", sourceURL_ ? sourceURL_->absoluteString() : ""},
                                 {"cachedSrc", resourceCache_ ? resourceCache_->fileURL().absoluteString() : ""},
                             });
}

void ZUMPrecacheTOLMHandler::dispatchCacheEvent(const std::shared_ptr<ZUMResourceCache>& cache, const char* event) {
  if (!cache || cache != resourceCache_) return;
  dispatchPrecacheEventWithBytesLoaded(static_cast<std::uint64_t>(cache->cachedContentSize()), cache->contentLength(),
                                       event);
}

void ZUMPrecacheTOLMHandler::resourceCacheDidReceiveResponse(const std::shared_ptr<ZUMResourceCache>& cache) {
  dispatchCacheEvent(cache, "precacheProgress");
}

bool ZUMPrecacheTOLMHandler::failAtMaximum(const std::shared_ptr<ZUMResourceCache>& cache) {
  if (!cappedAtMaximum_ || !cache || cache != resourceCache_) return false;
  const std::int64_t cached = cache->cachedContentSize();
  // A video of exactly the maximum is whole.
  if (cached < kZUMPrecacheMaximumBytes || cache->contentLength() == cached) return false;
  ZUMLog(kZUMLogLevelDefault,
         "Precache stopped: the video is larger than " + std::to_string(kZUMPrecacheMaximumBytes) + " bytes.");
  cache->cancelWithError(ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Precache exceeded its byte limit."));
  return true;
}

void ZUMPrecacheTOLMHandler::resourceCacheDidReceiveData(const std::shared_ptr<ZUMResourceCache>& cache) {
  if (failAtMaximum(cache)) return;
  if (byteThresholdToNotify_ <= 0) {
    dispatchCacheEvent(cache, "precacheProgress");
    return;
  }
  if (hasNotifiedAtByteThreshold_ || !cache || cache != resourceCache_) return;
  if (cache->cachedContentSize() < byteThresholdToNotify_) return;
  hasNotifiedAtByteThreshold_ = true;
  dispatchCacheEvent(cache, "precacheProgress");
}

void ZUMPrecacheTOLMHandler::resourceCacheDidSucceedCaching(const std::shared_ptr<ZUMResourceCache>& cache) {
  dispatchCacheEvent(cache, "precacheComplete");
}

void ZUMPrecacheTOLMHandler::resourceCacheDidFailCachingWithError(const std::shared_ptr<ZUMResourceCache>& cache,
                                                                  const platform::ErrorPtr&) {
  dispatchCacheEvent(cache, "precacheCanceled");
}
