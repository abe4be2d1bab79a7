// Turns one source URL into one player item for the video player, by one of four routes:
//   - a resource cache given (a precached file): the asset-loading item over that cache
//     and ranged downloads of the URL;
//   - a "tcache" URL: the SDK-core page resolves it to a download; with the user default
//     "/vantor/ads/zums:tcache_should_use_advance_video_control" on, the asset-loading
//     item over that download and ranged downloads of the URL inside; off, the download
//     served as it grows through the scheme "zum-stream" (the stream route);
//   - otherwise the asset-loading item over ranged downloads when the configuration
//     enables advance buffering control, else a plain item of the URL.
//
// Single use: a second loadURL() fails. The delegate hears the start (once the item's
// duration has loaded) or the failure, each at most once, on the main thread, and
// never once the loader has gone. A stream-route download that fails after it was handed
// over fails the pending requests and reports the failure, so the player can fall back to
// the URL inside the tcache URL.
//
// Held by its player (weakly held back); holds the delegate weakly. Main thread, except
// the stream route's resource-loader calls (global queue) and the cache's notices, which
// serialise on the loader's own lock.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/base/Error.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/media/AssetResourceLoader.h"

namespace platform {
class Asset;
class PlayerItem;
}  // namespace platform

class ZUMAssetLoadingVideoPlayerItem;
class ZUMResourceCache;
class ZUMTCacheURLLoader;
class ZUMVideoConfiguration;
class ZUMVideoConfigurationImpl;
class ZUMVideoLoaderDelegate;
class ZUMVideoLoadingPlayer;

class ZUMVideoLoader final : public platform::AssetResourceLoaderDelegate,
                             public std::enable_shared_from_this<ZUMVideoLoader> {
 public:
  static constexpr const char* kStreamScheme = "zum-stream";
  // "/vantor/ads/" + this.
  static constexpr const char* kTCacheAdvanceControlName = "zums:tcache_should_use_advance_video_control";

  static std::shared_ptr<ZUMVideoLoader> create(const std::shared_ptr<ZUMVideoLoadingPlayer>& player);
  ~ZUMVideoLoader() override;
  ZUMVideoLoader(const ZUMVideoLoader&) = delete;
  ZUMVideoLoader& operator=(const ZUMVideoLoader&) = delete;

  // A nullptr configuration (or one of another kind) counts as the default one.
  void loadURL(const std::optional<platform::URL>& url, const std::shared_ptr<ZUMResourceCache>& resourceCache,
               const std::shared_ptr<ZUMVideoConfiguration>& configuration);
  // Stops serving the stream route: its pending requests, and any that arrives while or
  // after it runs, fail with code 11 "Video loading has been explicitly canceled."; the
  // tcache resolution is dropped. From then on the delegate hears no failure, not even
  // one already on its way to the main thread.
  void cancel();

  const std::shared_ptr<platform::PlayerItem>& playerItem() const { return playerItem_; }
  std::shared_ptr<ZUMVideoLoaderDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMVideoLoaderDelegate>& delegate) { delegate_ = delegate; }
  bool hasBeenUsed() const { return hasBeenUsed_; }
  const std::shared_ptr<ZUMAssetLoadingVideoPlayerItem>& assetLoadingPlayerItem() const {
    return assetLoadingPlayerItem_;
  }
  // The stream route's cache.
  std::shared_ptr<ZUMResourceCache> resourceCache();
  // The stream route's asset.
  const std::shared_ptr<platform::Asset>& cachedResourceAsset() const { return cachedResourceAsset_; }

  // The stream route's URL for a cache file: "zum-stream://" and the file's path,
  // percent-encoded where a URL needs it.
  static std::optional<platform::URL> streamURLForFile(const platform::URL& fileURL);

  // --- platform::AssetResourceLoaderDelegate (the stream route) -------------------------
  bool resourceLoaderShouldWaitForLoadingOfRequestedResource(
      platform::AssetResourceLoader& loader,
      const std::shared_ptr<platform::AssetResourceLoadingRequest>& request) override;
  void resourceLoaderDidCancelLoadingRequest(
      platform::AssetResourceLoader& loader,
      const std::shared_ptr<platform::AssetResourceLoadingRequest>& request) override;

 private:
  using Request = std::shared_ptr<platform::AssetResourceLoadingRequest>;
  enum class Outcome { Pending, Complete, Failed, Cancelled };
  explicit ZUMVideoLoader(std::weak_ptr<ZUMVideoLoadingPlayer> player) : player_(std::move(player)) {}

  void loadStandardURL(const std::optional<platform::URL>& url);
  void loadTCacheURL(const platform::URL& url);
  void tcacheURLLoaded(const std::shared_ptr<ZUMResourceCache>& cache, const platform::ErrorPtr& error, bool advance);
  void loadAdvanceControlVideoURL(const platform::URL& url, const std::shared_ptr<ZUMResourceCache>& cache);
  void loadWithResourceCache(const std::shared_ptr<ZUMResourceCache>& cache);
  void notifyVideoLoaderDidStartLoadingURL(const std::optional<platform::URL>& url);
  void notifyVideoLoaderFailedToLoadURL(const std::optional<platform::URL>& url, platform::ErrorPtr error);

  // Stream route; the caller holds streamMutex_.
  Outcome processRequestLocked(platform::AssetResourceLoadingRequest& request, platform::ErrorPtr* error);
  void observeResourceCacheUpdatesLocked();
  void stopObservingLocked();
  void resourceCacheDidUpdate();
  void failStream(const Request& request, platform::ErrorPtr error);
  void cancelStream();

  const std::weak_ptr<ZUMVideoLoadingPlayer> player_;
  std::weak_ptr<ZUMVideoLoaderDelegate> delegate_;
  std::optional<platform::URL> sourceURL_;
  std::shared_ptr<ZUMVideoConfigurationImpl> configuration_;
  std::shared_ptr<ZUMTCacheURLLoader> tcacheURLLoader_;
  std::shared_ptr<ZUMAssetLoadingVideoPlayerItem> assetLoadingPlayerItem_;
  std::shared_ptr<platform::PlayerItem> playerItem_;
  std::shared_ptr<platform::Asset> cachedResourceAsset_;
  bool hasBeenUsed_ = false;
  bool hasNotifiedVideoLoadingStarted_ = false;
  bool hasNotifiedVideoLoadingFailed_ = false;
  bool hasBeenCancelled_ = false;  // by the host, through cancel()

  // The stream route: touched from the resource-loader queue and the cache's notices.
  std::mutex streamMutex_;
  std::shared_ptr<ZUMResourceCache> resourceCache_;
  std::vector<Request> pendingRequests_;
  platform::NotificationCenter::Token cacheObserver_;
  bool cancelled_ = false;
};
