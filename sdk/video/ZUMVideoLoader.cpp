#include "sdk/video/ZUMVideoLoader.h"

#include <algorithm>

#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/media/Asset.h"
#include "platform/media/PlayerItem.h"
#include "platform/media/UniformTypeIdentifiers.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/network/ZUMTCacheURL.h"
#include "sdk/sdkcore/ZUMTCacheURLLoader.h"
#include "sdk/video/ZUMAssetLoadingVideoPlayerItem.h"
#include "sdk/video/ZUMVideoAssetLoader.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoDataPlan.h"
#include "sdk/video/ZUMVideoLoaderDelegate.h"
#include "sdk/video/ZUMVideoLoadingPlayer.h"

namespace {

platform::ErrorPtr internalError(std::string text) {
  return ZUMMakeErrorWithDescription(kZUMErrorInternalError, std::move(text));
}

platform::ErrorPtr cancelledError() { return internalError("Video loading has been explicitly canceled."); }

bool hasScheme(const std::optional<platform::URL>& url, std::string_view scheme) {
  return url && url->scheme() && platform::equalsIgnoringASCIICase(*url->scheme(), scheme);
}

}  // namespace

std::shared_ptr<ZUMVideoLoader> ZUMVideoLoader::create(const std::shared_ptr<ZUMVideoLoadingPlayer>& player) {
  return std::shared_ptr<ZUMVideoLoader>(new ZUMVideoLoader(player));
}

ZUMVideoLoader::~ZUMVideoLoader() {
  std::vector<Request> pending;
  {
    std::lock_guard lock(streamMutex_);
    stopObservingLocked();
    pending = std::exchange(pendingRequests_, {});
  }
  // The asset holds its delegate weakly: nothing reaches a loader that has gone.
  for (const auto& request : pending) request->finishLoadingWithError(cancelledError());
}

std::optional<platform::URL> ZUMVideoLoader::streamURLForFile(const platform::URL& fileURL) {
  if (!fileURL.path()) return std::nullopt;
  return platform::URL::fromString(std::string(kStreamScheme) + "://" + fileURL.percentEncodedPath());
}

void ZUMVideoLoader::loadURL(const std::optional<platform::URL>& url,
                             const std::shared_ptr<ZUMResourceCache>& resourceCache,
                             const std::shared_ptr<ZUMVideoConfiguration>& configuration) {
  platform::assertMainThread();
  if (hasBeenUsed_) {
    // Outside the once-only failure report: the first load goes on undisturbed.
    std::weak_ptr<ZUMVideoLoader> weak = weak_from_this();
    return platform::DispatchQueue::main()->async([weak, url] {
      auto self = weak.lock();
      auto delegate = self ? self->delegate() : nullptr;
      if (delegate) delegate->videoLoaderDidFailToLoadURL(*self, url, internalError("Video loader already used."));
    });
  }
  hasBeenUsed_ = true;
  sourceURL_ = url;
  configuration_ = ZUMVideoConfigurationImpl::from(configuration);
  if (resourceCache) {
    const auto source = url ? url : resourceCache->request().url();
    if (!source) return notifyVideoLoaderFailedToLoadURL(url, internalError("No video URL to load."));
    return loadAdvanceControlVideoURL(*source, resourceCache);
  }
  if (hasScheme(url, "tcache")) return loadTCacheURL(*url);
  loadStandardURL(url);
}

void ZUMVideoLoader::loadStandardURL(const std::optional<platform::URL>& url) {
  if (url && configuration_->enableAdvanceBufferingControl()) return loadAdvanceControlVideoURL(*url, nullptr);
  playerItem_ = url ? platform::PlayerItem::create(*url) : nullptr;
  notifyVideoLoaderDidStartLoadingURL(url);
}

void ZUMVideoLoader::loadTCacheURL(const platform::URL& url) {
  const bool advance =
      ZUMUserDefaults::boolForKey(ZUMUserDefaults::keyForName(kTCacheAdvanceControlName)).value_or(false);
  tcacheURLLoader_ = ZUMTCacheURLLoader::create();
  std::weak_ptr<ZUMVideoLoader> weak = weak_from_this();
  tcacheURLLoader_->loadTCacheURL(url, [weak, advance](const auto&, const auto& cache, const auto& error) {
    if (auto self = weak.lock()) self->tcacheURLLoaded(cache, error, advance);
  });
}

void ZUMVideoLoader::tcacheURLLoaded(const std::shared_ptr<ZUMResourceCache>& cache, const platform::ErrorPtr& error,
                                     bool advance) {
  platform::assertMainThread();
  tcacheURLLoader_.reset();
  if (!cache || error) return notifyVideoLoaderFailedToLoadURL(sourceURL_, error);
  if (advance) return loadAdvanceControlVideoURL(ZUMURLFromTCacheURL(sourceURL_).value_or(*sourceURL_), cache);
  loadWithResourceCache(cache);
}

void ZUMVideoLoader::loadAdvanceControlVideoURL(const platform::URL& url,
                                                const std::shared_ptr<ZUMResourceCache>& cache) {
  auto assetLoader = ZUMVideoAssetLoader::create(url, cache, configuration_);
  assetLoadingPlayerItem_ =
      ZUMAssetLoadingVideoPlayerItem::create(assetLoader->sourceURL(), assetLoader, configuration_);
  assetLoadingPlayerItem_->setPlayer(player_.lock());
  playerItem_ = assetLoadingPlayerItem_->playerItem();
  notifyVideoLoaderDidStartLoadingURL(sourceURL_);
}

void ZUMVideoLoader::loadWithResourceCache(const std::shared_ptr<ZUMResourceCache>& cache) {
  const auto streamURL = streamURLForFile(cache->fileURL());
  if (!streamURL)
    return notifyVideoLoaderFailedToLoadURL(sourceURL_, internalError("No stream URL for the video cache."));
  {
    std::lock_guard lock(streamMutex_);
    resourceCache_ = cache;
  }
  cachedResourceAsset_ = platform::Asset::create(*streamURL);
  cachedResourceAsset_->resourceLoader()->setDelegate(weak_from_this(), platform::DispatchQueue::global());
  playerItem_ = platform::PlayerItem::create(cachedResourceAsset_);
  notifyVideoLoaderDidStartLoadingURL(sourceURL_);
}

void ZUMVideoLoader::notifyVideoLoaderDidStartLoadingURL(const std::optional<platform::URL>& url) {
  if (std::exchange(hasNotifiedVideoLoadingStarted_, true)) return;
  std::weak_ptr<ZUMVideoLoader> weak = weak_from_this();
  auto tell = [weak, url] {
    auto self = weak.lock();
    auto delegate = self ? self->delegate() : nullptr;
    if (delegate) delegate->videoLoaderDidStartedLoadingURL(*self, url);
  };
  if (!playerItem_) return tell();
  playerItem_->asset()->loadValuesAsynchronously({"duration"},
                                                 [tell] { platform::DispatchQueue::main()->async(tell); });
}

void ZUMVideoLoader::notifyVideoLoaderFailedToLoadURL(const std::optional<platform::URL>& url,
                                                      platform::ErrorPtr error) {
  if (!platform::isMainThread()) {
    return ZUMRunOnMainThread(
        ZUMBindWeak(weak_from_this(), &ZUMVideoLoader::notifyVideoLoaderFailedToLoadURL, url, error));
  }
  if (std::exchange(hasNotifiedVideoLoadingFailed_, true)) return;
  std::weak_ptr<ZUMVideoLoader> weak = weak_from_this();
  platform::DispatchQueue::main()->async([weak, url, error] {
    auto self = weak.lock();
    auto delegate = self ? self->delegate() : nullptr;
    if (delegate && !self->hasBeenCancelled_) delegate->videoLoaderDidFailToLoadURL(*self, url, error);
  });
}

std::shared_ptr<ZUMResourceCache> ZUMVideoLoader::resourceCache() {
  std::lock_guard lock(streamMutex_);
  return resourceCache_;
}

void ZUMVideoLoader::cancel() {
  platform::assertMainThread();
  hasBeenCancelled_ = true;
  cancelStream();
  tcacheURLLoader_.reset();
}

void ZUMVideoLoader::cancelStream() {
  std::vector<Request> pending;
  {
    std::lock_guard lock(streamMutex_);
    stopObservingLocked();
    cancelled_ = true;
    pending = std::exchange(pendingRequests_, {});
  }
  if (cachedResourceAsset_) cachedResourceAsset_->resourceLoader()->setDelegate({}, platform::DispatchQueue::global());
  for (const auto& request : pending) request->finishLoadingWithError(cancelledError());
}

// --- The stream route -----------------------------------------------------------------

bool ZUMVideoLoader::resourceLoaderShouldWaitForLoadingOfRequestedResource(platform::AssetResourceLoader&,
                                                                           const Request& request) {
  if (!hasScheme(request->request().url(), kStreamScheme)) return false;
  platform::ErrorPtr error;
  Outcome outcome;
  {
    std::lock_guard lock(streamMutex_);
    if (cancelled_ || !resourceCache_) {
      // The resource loader may still hand over a request it took before cancel dropped
      // this delegate: it ends as cancelled, not as a failure of the load.
      outcome = Outcome::Cancelled;
    } else {
      outcome = processRequestLocked(*request, &error);
      if (outcome == Outcome::Pending) pendingRequests_.push_back(request);
    }
  }
  if (outcome == Outcome::Complete) request->finishLoading();
  if (outcome == Outcome::Failed) failStream(request, error);
  if (outcome == Outcome::Cancelled) request->finishLoadingWithError(cancelledError());
  if (outcome == Outcome::Pending) {
    std::lock_guard lock(streamMutex_);
    observeResourceCacheUpdatesLocked();
  }
  return true;
}

void ZUMVideoLoader::resourceLoaderDidCancelLoadingRequest(platform::AssetResourceLoader&, const Request& request) {
  std::lock_guard lock(streamMutex_);
  std::erase(pendingRequests_, request);
  if (pendingRequests_.empty()) stopObservingLocked();
}

ZUMVideoLoader::Outcome ZUMVideoLoader::processRequestLocked(platform::AssetResourceLoadingRequest& request,
                                                             platform::ErrorPtr* error) {
  const auto& cache = resourceCache_;
  if (auto* info = request.contentInformationRequest()) {
    const auto type = cache->contentType();
    info->setContentType(type ? platform::preferredTypeIdentifierForMIMEType(*type) : std::nullopt);
    info->setContentLength(cache->contentLength());
    info->setByteRangeAccessSupported(true);
  }
  const auto* data = request.dataRequest();
  if (!data) return Outcome::Pending;
  // Read before the size: a download that ended may not grow any more.
  const bool ended = cache->isCompleted();
  const auto plan = ZUMPlanVideoData({data->requestedOffset(), data->requestedLength(), data->currentOffset(), false},
                                     {0, cache->cachedContentSize(), std::nullopt, -1});
  if (plan.length > 0) {
    const auto bytes = cache->dataWithRange(plan.cacheOffset, plan.length, error);
    if (!bytes) return Outcome::Failed;
    request.respondWithData(*bytes);
  }
  if (plan.complete) return Outcome::Complete;
  if (ended) {
    // The download failed or stopped short of these bytes: they will never come.
    *error = internalError("The video download ended before byte " + std::to_string(data->currentOffset()) + ".");
    return Outcome::Failed;
  }
  return Outcome::Pending;
}

void ZUMVideoLoader::observeResourceCacheUpdatesLocked() {
  if (cacheObserver_ || !resourceCache_) return;
  if (resourceCache_->isCompleted()) {
    // No notice will come any more.
    platform::DispatchQueue::global()->async(ZUMBindWeak(weak_from_this(), &ZUMVideoLoader::resourceCacheDidUpdate));
    return;
  }
  cacheObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMResourceCacheDidUpdateCacheNotification, resourceCache_, nullptr,
      ZUMBindWeak(weak_from_this(), &ZUMVideoLoader::resourceCacheDidUpdate));
}

void ZUMVideoLoader::stopObservingLocked() {
  if (auto token = std::exchange(cacheObserver_, nullptr))
    platform::NotificationCenter::defaultCenter().removeObserver(token);
}

void ZUMVideoLoader::resourceCacheDidUpdate() {
  std::vector<Request> complete;
  Request failed;
  platform::ErrorPtr error;
  {
    std::lock_guard lock(streamMutex_);
    if (cancelled_ || !resourceCache_) return;
    for (const auto& request : std::vector<Request>(pendingRequests_)) {
      const auto outcome = processRequestLocked(*request, &error);
      if (outcome == Outcome::Failed) {
        failed = request;
        break;
      }
      if (outcome == Outcome::Complete) complete.push_back(request);
    }
    if (!failed) {
      std::erase_if(pendingRequests_,
                    [&](const Request& r) { return std::ranges::find(complete, r) != complete.end(); });
      if (pendingRequests_.empty()) stopObservingLocked();
    }
  }
  if (failed) return failStream(failed, error);
  for (const auto& request : complete) request->finishLoading();
}

void ZUMVideoLoader::failStream(const Request& request, platform::ErrorPtr error) {
  request->finishLoadingWithError(error);
  cancelStream();
  notifyVideoLoaderFailedToLoadURL(sourceURL_, std::move(error));
}
