// A player item whose bytes the SDK serves itself: its asset has the scheme "video", and
// the item, as the asset's resource-loader delegate, answers one loading request at a
// time from the caches of a ZUMVideoAssetLoader. It decides when more bytes are wanted by
// watching how much is loaded ahead of the play head (between the configuration's min and
// max buffer times; the max counts only once the player has posted "canplaythrough",
// unless the configuration ignores that), serves the request on a refresh timer while
// they are, and caps a capped download at what the measured bit rate needs to stay the
// max buffer time ahead.
//
// The refresh timer repeats at the configuration's refresh interval, and never more
// often than every kMinimumRefreshInterval seconds (an interval of 0 would spin).
// Stopping it hands the cache back to the asset loader.
//
// Made by the video loader, which holds it (the asset holds its delegate weakly); holds
// the asset loader and configuration strongly, the player weakly. Requests are served on
// its serial lock queue; buffer watching, the timer and the item's change notices on the
// main thread. create() on the main thread; the rest from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/base/URL.h"
#include "platform/media/AssetResourceLoader.h"
#include "platform/media/KeyValueObservers.h"
#include "sdk/video/ZUMVideoLoadingPlayer.h"

namespace platform {
class Asset;
class DispatchQueue;
class PlayerItem;
class Timer;
}  // namespace platform

class ZUMResourceCache;
class ZUMVideoAssetLoader;
class ZUMVideoConfigurationImpl;

class ZUMAssetLoadingVideoPlayerItem final : public platform::AssetResourceLoaderDelegate,
                                             public std::enable_shared_from_this<ZUMAssetLoadingVideoPlayerItem> {
 public:
  static constexpr const char* kScheme = "video";
  static constexpr double kMinimumRefreshInterval = 0.1;
  // How often the player's play head is watched.
  static constexpr double kProgressInterval = 0.25;

  static std::shared_ptr<ZUMAssetLoadingVideoPlayerItem> create(
      const platform::URL& videoURL, std::shared_ptr<ZUMVideoAssetLoader> assetLoader,
      std::shared_ptr<ZUMVideoConfigurationImpl> configuration);
  ~ZUMAssetLoadingVideoPlayerItem() override;
  ZUMAssetLoadingVideoPlayerItem(const ZUMAssetLoadingVideoPlayerItem&) = delete;
  ZUMAssetLoadingVideoPlayerItem& operator=(const ZUMAssetLoadingVideoPlayerItem&) = delete;

  // Watches this player's play head (replacing the previous player's watch).
  void setPlayer(const std::shared_ptr<ZUMVideoLoadingPlayer>& player);

  const platform::URL& videoURL() const { return videoURL_; }
  const std::shared_ptr<platform::PlayerItem>& playerItem() const { return playerItem_; }
  const std::shared_ptr<platform::Asset>& asset() const { return asset_; }
  const std::shared_ptr<platform::DispatchQueue>& lockQueue() const { return lockQueue_; }
  const std::shared_ptr<ZUMVideoAssetLoader>& assetLoader() const { return assetLoader_; }

  // Main thread: whether more bytes are wanted now.
  bool isLoadingEnabled() const { return loadingEnabled_; }
  // Passes that served (or tried to serve) a request, for tests and diagnostics.
  std::uint64_t servingPassCount() const { return servingPasses_; }

  // Watches the buffer and, while loading is enabled, serves the request. Any thread
  // (runs on the main thread).
  void loadPlayerItemData();

  // --- platform::AssetResourceLoaderDelegate (lock queue) --------------------------------
  bool resourceLoaderShouldWaitForLoadingOfRequestedResource(
      platform::AssetResourceLoader& loader,
      const std::shared_ptr<platform::AssetResourceLoadingRequest>& request) override;
  void resourceLoaderDidCancelLoadingRequest(
      platform::AssetResourceLoader& loader,
      const std::shared_ptr<platform::AssetResourceLoadingRequest>& request) override;

 private:
  ZUMAssetLoadingVideoPlayerItem(platform::URL videoURL, std::shared_ptr<ZUMVideoAssetLoader> assetLoader,
                                 std::shared_ptr<ZUMVideoConfigurationImpl> configuration);
  void observe();
  std::shared_ptr<ZUMVideoLoadingPlayer> player() const;
  void progressTick();

  // Main thread.
  void handlePlayerItemUpdates();
  void sampleBitRate(double playHead, double loadedEnd);
  void startPlayerItemCheckSourceTimer();
  void stopPlayerItemCheckSourceTimer();

  // Lock queue.
  void processLoadingRequest();
  [[nodiscard]] bool prepareForLoadingByteOffset(std::int64_t offset);
  // false when the request was finished (failed) or must wait.
  [[nodiscard]] bool fillContentInformation();
  void serveData();
  void updateCap();
  void failRequest(platform::ErrorPtr error);
  bool tooManyFailedCaches(std::int64_t limit) const { return limit != -1 && failedCaches_ >= limit; }
  void releaseCache();

  const platform::URL videoURL_;
  const std::shared_ptr<ZUMVideoAssetLoader> assetLoader_;
  const std::shared_ptr<ZUMVideoConfigurationImpl> configuration_;
  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  std::shared_ptr<platform::Asset> asset_;
  std::shared_ptr<platform::PlayerItem> playerItem_;

  // Main thread.
  std::shared_ptr<platform::Timer> refreshTimer_;
  bool loadingEnabled_ = true;
  platform::KeyValueObservers::Token loadedRangesToken_ = 0;

  mutable std::mutex playerMutex_;
  std::weak_ptr<ZUMVideoLoadingPlayer> player_;

  // Lock queue.
  std::shared_ptr<platform::AssetResourceLoadingRequest> loadingRequest_;
  std::shared_ptr<ZUMResourceCache> resourceCache_;
  std::int64_t resourceCacheStartingByteOffset_ = 0;
  ZUMVideoLoadingPlayer::Token progressToken_;
  std::weak_ptr<ZUMVideoLoadingPlayer> progressPlayer_;
  double videoBitRate_ = 0;
  double cachingStartTime_ = 0;
  double sampledPlayHead_ = 0;
  std::int64_t bytesWithNoBufferUpdate_ = 0;
  std::int64_t failedCaches_ = 0;

  std::atomic<std::uint64_t> servingPasses_{0};
};
