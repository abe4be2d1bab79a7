#include "sdk/video/ZUMAssetLoadingVideoPlayerItem.h"

#include <algorithm>

#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "platform/media/Asset.h"
#include "platform/media/PlayerItem.h"
#include "platform/media/UniformTypeIdentifiers.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMScheduledBlockTimer.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/video/ZUMVideoAssetLoader.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoDataPlan.h"

namespace {

using Item = ZUMAssetLoadingVideoPlayerItem;

platform::URL assetURLFor(const platform::URL& source) {
  const auto host = source.host();
  std::optional<platform::URL> url;
  if (host && !host->empty())
    url = platform::URL::fromString(std::string(Item::kScheme) + "://" + *host + source.percentEncodedPath());
  if (!url) url = platform::URL::fromString(std::string(Item::kScheme) + "://video/asset_loading");
  return *url;
}

platform::ErrorPtr internalError(const char* text) { return ZUMMakeErrorWithDescription(kZUMErrorInternalError, text); }

}  // namespace

std::shared_ptr<Item> Item::create(const platform::URL& videoURL, std::shared_ptr<ZUMVideoAssetLoader> assetLoader,
                                   std::shared_ptr<ZUMVideoConfigurationImpl> configuration) {
  if (!assetLoader) return nullptr;
  if (!configuration) configuration = ZUMVideoConfigurationImpl::create();
  std::shared_ptr<Item> item(new Item(videoURL, std::move(assetLoader), std::move(configuration)));
  item->asset_ = platform::Asset::create(assetURLFor(videoURL));
  item->asset_->resourceLoader()->setDelegate(item, item->lockQueue_);
  item->playerItem_ = platform::PlayerItem::create(item->asset_);
  ZUMRunOnMainThread(ZUMBindWeak(item->weak_from_this(), &Item::observe));
  return item;
}

Item::ZUMAssetLoadingVideoPlayerItem(platform::URL videoURL, std::shared_ptr<ZUMVideoAssetLoader> assetLoader,
                                     std::shared_ptr<ZUMVideoConfigurationImpl> configuration)
    : videoURL_(std::move(videoURL)),
      assetLoader_(std::move(assetLoader)),
      configuration_(std::move(configuration)),
      lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.asset-loading-player-item", ZUMDispatchQueueSerial,
                                        ZUMQualityOfServiceClassUserInitiated)) {}

Item::~ZUMAssetLoadingVideoPlayerItem() {
  // Whatever thread lets the item go, the player, the item's notices and the timer are
  // main-thread things.
  ZUMRunOnMainThread([playerItem = playerItem_, token = loadedRangesToken_, timer = refreshTimer_,
                      player = progressPlayer_.lock(), progress = progressToken_] {
    if (playerItem && token) playerItem->removeObserver(token);
    if (timer) timer->invalidate();
    if (player && progress) player->removeTimeObserver(progress);
  });
  if (loadingRequest_)
    loadingRequest_->finishLoadingWithError(internalError("Video loading has been explicitly canceled."));
  assetLoader_->finishedUsingResourceCache(resourceCache_);
}

void Item::observe() {
  loadedRangesToken_ =
      playerItem_->addObserver("loadedTimeRanges", ZUMBindWeak(weak_from_this(), &Item::loadPlayerItemData));
}

std::shared_ptr<ZUMVideoLoadingPlayer> Item::player() const {
  std::lock_guard lock(playerMutex_);
  return player_.lock();
}

void Item::setPlayer(const std::shared_ptr<ZUMVideoLoadingPlayer>& player) {
  std::weak_ptr<Item> weak = weak_from_this();
  std::weak_ptr<ZUMVideoLoadingPlayer> weakPlayer = player;
  lockQueue_->async([weak, weakPlayer] {
    auto self = weak.lock();
    if (!self) return;
    if (auto old = self->progressPlayer_.lock(); old && self->progressToken_) {
      ZUMRunOnMainThread([old, token = self->progressToken_] { old->removeTimeObserver(token); });
    }
    self->progressToken_ = nullptr;
    self->progressPlayer_.reset();
    {
      std::lock_guard lock(self->playerMutex_);
      self->player_ = weakPlayer;
    }
    auto player = weakPlayer.lock();
    if (!player) return;
    auto queue = self->lockQueue_;
    player->addPeriodicTimeObserver(platform::MediaTime::makeWithSeconds(kProgressInterval, 600),
                                    platform::DispatchQueue::main(), ZUMBindWeak(weak, &Item::progressTick),
                                    [weak, weakPlayer, queue](ZUMVideoLoadingPlayer::Token token) {
                                      queue->async([weak, weakPlayer, token] {
                                        auto player = weakPlayer.lock();
                                        auto self = weak.lock();
                                        if (self && player && self->player() == player) {
                                          self->progressToken_ = token;
                                          self->progressPlayer_ = player;
                                        } else if (player) {
                                          ZUMRunOnMainThread([player, token] { player->removeTimeObserver(token); });
                                        }
                                      });
                                    });
  });
}

void Item::progressTick() {
  const auto ranges = playerItem_->loadedTimeRanges();
  if (ranges.empty() || !ranges.front().isValid() || ranges.front().duration.value == 0) return;
  loadPlayerItemData();
}

void Item::loadPlayerItemData() {
  if (!platform::isMainThread()) return ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &Item::loadPlayerItemData));
  handlePlayerItemUpdates();
  if (!loadingEnabled_) return stopPlayerItemCheckSourceTimer();
  std::weak_ptr<Item> weak = weak_from_this();
  lockQueue_->async([weak] {
    auto self = weak.lock();
    if (!self) return;
    if (!self->loadingRequest_) return ZUMRunOnMainThread(ZUMBindWeak(weak, &Item::stopPlayerItemCheckSourceTimer));
    ZUMRunOnMainThread(ZUMBindWeak(weak, &Item::startPlayerItemCheckSourceTimer));
    self->processLoadingRequest();
  });
}

void Item::handlePlayerItemUpdates() {
  platform::assertMainThread();
  const auto now = playerItem_->currentTime();
  const auto ranges = playerItem_->loadedTimeRanges();
  const platform::MediaTimeRange range = ranges.empty() ? platform::MediaTimeRange{} : ranges.front();
  if (!range.isValid() || !now.isValid()) return;
  const double playHead = now.seconds(), start = range.start.seconds(), end = range.endSeconds();
  if (playHead < start || playHead > end) loadingEnabled_ = true;
  const double ahead = end - playHead;
  if (ahead < configuration_->minBufferTimeInterval()) loadingEnabled_ = true;
  const auto player = this->player();
  const bool maxCounts =
      configuration_->videoBufferShouldIgnoreCanPlayThrough() || (player && player->hasPostedCanPlayThrough());
  // Nothing loaded ahead never counts as enough: the player would wait for ever.
  if (maxCounts && ahead > 0 && ahead >= configuration_->maxBufferTimeInterval()) loadingEnabled_ = false;
  sampleBitRate(playHead, end);
}

void Item::sampleBitRate(double playHead, double loadedEnd) {
  if (loadedEnd == 0 || !asset_->mediaInfo()) return;
  double rate = 0;
  for (const auto& track : asset_->tracksWithMediaType(platform::kMediaTypeVideo)) {
    rate = track->estimatedDataRate();
    break;
  }
  if (!(rate > 0)) return;
  std::weak_ptr<Item> weak = weak_from_this();
  lockQueue_->async([weak, rate, playHead] {
    auto self = weak.lock();
    if (!self) return;
    const auto& cache = self->resourceCache_;
    if (!cache || !cache->isValid() || !(cache->networkSpeedInBytesPerSecond() > 0) || cache->maxBytes() < 0) return;
    self->videoBitRate_ = rate;
    self->sampledPlayHead_ = playHead;
  });
}

void Item::startPlayerItemCheckSourceTimer() {
  platform::assertMainThread();
  if (refreshTimer_) return;
  const double interval = std::max(kMinimumRefreshInterval, configuration_->assetLoadingPlayerItemRefreshInterval());
  refreshTimer_ =
      ZUMScheduledBlockTimer(true, ZUMBindWeak(weak_from_this(), &Item::loadPlayerItemData), interval, interval / 10);
  if (refreshTimer_) refreshTimer_->fire();
}

void Item::stopPlayerItemCheckSourceTimer() {
  platform::assertMainThread();
  if (auto timer = std::exchange(refreshTimer_, nullptr)) timer->invalidate();
  lockQueue_->async(ZUMBindWeak(weak_from_this(), &Item::releaseCache));
}

void Item::releaseCache() {
  assetLoader_->finishedUsingResourceCache(resourceCache_);
  resourceCache_.reset();
}

bool Item::resourceLoaderShouldWaitForLoadingOfRequestedResource(
    platform::AssetResourceLoader&, const std::shared_ptr<platform::AssetResourceLoadingRequest>& request) {
  const auto& url = request->request().url();
  if (!url || !url->scheme() || !platform::equalsIgnoringASCIICase(*url->scheme(), kScheme)) return false;
  if (loadingRequest_ && loadingRequest_ != request) {
    loadingRequest_->finishLoadingWithError(internalError("Video asset loader's loading cancelled by new request."));
  }
  loadingRequest_ = request;
  loadPlayerItemData();
  return true;
}

void Item::resourceLoaderDidCancelLoadingRequest(
    platform::AssetResourceLoader&, const std::shared_ptr<platform::AssetResourceLoadingRequest>& request) {
  if (loadingRequest_ == request) loadingRequest_.reset();
}

void Item::processLoadingRequest() {
  if (!loadingRequest_) return;
  ++servingPasses_;
  const std::int64_t noUpdateLimit = configuration_->assetLoadingPlayerItemNoBufferUpdateMaxContentSize();
  if (noUpdateLimit != -1 && bytesWithNoBufferUpdate_ > noUpdateLimit) {
    bytesWithNoBufferUpdate_ = 0;
    return ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &Item::stopPlayerItemCheckSourceTimer));
  }
  const auto* data = loadingRequest_->dataRequest();
  const std::int64_t offset = data ? std::max(data->requestedOffset(), data->currentOffset()) : 0;
  if (!prepareForLoadingByteOffset(offset))
    return failRequest(internalError("Failed to get buffer from video asset loader."));
  if (!fillContentInformation()) return;
  if (!data) {
    loadingRequest_->finishLoading();
    loadingRequest_.reset();
    return;
  }
  serveData();
}

bool Item::prepareForLoadingByteOffset(std::int64_t offset) {
  const double wait = configuration_->videoAssetLoaderMaxDownloadWaitTimeInterval();
  if (ZUMResourceCacheWillHaveByteWithinTime(resourceCache_, resourceCacheStartingByteOffset_, offset, wait))
    return true;
  // A server that ignores ranges is no bad attempt: the asset loader downloads from byte 0.
  if (resourceCache_ && !resourceCache_->isValid() && !resourceCache_->serverIgnoredRange()) ++failedCaches_;
  auto slice = assetLoader_->getResourceCache(offset, nullptr);
  if (!slice) return false;
  if (slice->cache != resourceCache_) {
    assetLoader_->finishedUsingResourceCache(resourceCache_);
    cachingStartTime_ = 0;
  }
  resourceCache_ = std::move(slice->cache);
  resourceCacheStartingByteOffset_ = slice->startingByteOffset;
  return true;
}

bool Item::fillContentInformation() {
  auto* info = loadingRequest_->contentInformationRequest();
  if (!info) return true;
  if (tooManyFailedCaches(configuration_->assetLoadingPlayerItemMaxContentLoadingFailedAttempts())) {
    failRequest(internalError("Too many bad attempts."));
    return false;
  }
  if (!resourceCache_->responseHeadersReceived()) return false;
  const auto type = resourceCache_->contentType();
  info->setContentType(type ? platform::preferredTypeIdentifierForMIMEType(*type) : std::nullopt);
  const std::int64_t length = resourceCache_->contentLength();
  info->setContentLength(length < 0 ? length : resourceCacheStartingByteOffset_ + length);
  info->setByteRangeAccessSupported(true);
  return true;
}

void Item::serveData() {
  const auto* data = loadingRequest_->dataRequest();
  if (tooManyFailedCaches(configuration_->assetLoadingPlayerItemMaxDataLoadingFailedAttempts())) {
    return failRequest(internalError("Too many bad attempts."));
  }
  const auto& cache = resourceCache_;
  const bool toEnd = data->requestsAllDataToEndOfResource() && ZUMDevice::sharedInstance()->isOSAtLeastMajor(9, 0, 0);
  if (!cache->isValid() || (toEnd && !cache->responseHeadersReceived())) return updateCap();
  std::optional<std::int64_t> contentLength;
  if (toEnd && cache->contentLength() >= 1) contentLength = cache->contentLength();
  const auto plan = ZUMPlanVideoData({data->requestedOffset(), data->requestedLength(), data->currentOffset(), toEnd},
                                     {resourceCacheStartingByteOffset_, cache->cachedContentSize(), contentLength,
                                      configuration_->videoAssetMaxLoadableChunkSizeInBytes()});
  if (plan.length > 0) {
    platform::ErrorPtr error;
    const auto bytes = cache->dataWithRange(plan.cacheOffset, plan.length, &error);
    if (!bytes) return failRequest(error);
    bytesWithNoBufferUpdate_ += static_cast<std::int64_t>(bytes->size());
    loadingRequest_->respondWithData(*bytes);
  }
  if (plan.complete) {
    loadingRequest_->finishLoading();
    loadingRequest_.reset();
  }
  updateCap();
}

void Item::updateCap() {
  const auto& cache = resourceCache_;
  if (!cache || !cache->isValid() || cache->isCompleted() || cache->maxBytes() < 0) return;
  const double playHead = sampledPlayHead_;
  if (!(playHead > 0) || !(videoBitRate_ > 0)) return;
  if (cachingStartTime_ == 0 || cachingStartTime_ > playHead) {
    cachingStartTime_ = playHead;
    bytesWithNoBufferUpdate_ = 0;
  }
  if (playHead > cachingStartTime_) bytesWithNoBufferUpdate_ = 0;
  cache->setMaxBytes(
      ZUMVideoBufferCap(playHead, cachingStartTime_, configuration_->maxBufferTimeInterval(), videoBitRate_));
}

void Item::failRequest(platform::ErrorPtr error) {
  if (!loadingRequest_) return;
  loadingRequest_->finishLoadingWithError(std::move(error));
  loadingRequest_.reset();
}
