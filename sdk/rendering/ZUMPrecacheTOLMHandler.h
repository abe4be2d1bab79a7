// The download ahead of time of a video that a page will play: the page's "precache"
// message names the remote source ("src"), a progress threshold ("notifyBytes") and the
// video configuration, or asks to abort ("abort"). The video goes through a resource
// cache into a new file "precache_<n>.cache" of the SDK's cache folder "Precache" (n
// counts from 0 in each run; the folder is emptied when the class is first used in a
// run), capped at the configuration's precache byte limit, or at kZUMPrecacheMaximumBytes
// when the page gives none or a larger one. The page hears the course as
// "onPrecacheEvent" {"bytesLoaded", "totalBytes", "event", "src", "cachedSrc"}, "event"
// being "precacheProgress", "precacheComplete" or "precacheCanceled".
//
// One download at a time: after a start, only an abort lets a later "precache" start a
// new one. Only http(s) sources are downloaded; others are refused with a log line.
//
// Owned by the video-player handler, which hands it its "precache" messages. Holds the
// first ad view that sends one weakly, and its resource cache strongly (the file goes
// with the cache). Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"
#include "sdk/network/ZUMResourceCacheDelegate.h"

class ZUMAdView;
class ZUMResourceCache;
class ZUMVideoConfiguration;

// The most bytes a precache download may write: a page must not fill the device's
// storage with an endless answer. A download this cap ends (not the page's own limit)
// fails: the file does not hold the whole video.
inline constexpr std::int64_t kZUMPrecacheMaximumBytes = std::int64_t{32} << 20;

class ZUMPrecacheTOLMHandler final : public ZUMResourceCacheDelegate,
                                     public std::enable_shared_from_this<ZUMPrecacheTOLMHandler> {
 public:
  // The first in a run deletes the precache folder left by earlier runs.
  static std::shared_ptr<ZUMPrecacheTOLMHandler> create();
  ZUMPrecacheTOLMHandler(const ZUMPrecacheTOLMHandler&) = delete;
  ZUMPrecacheTOLMHandler& operator=(const ZUMPrecacheTOLMHandler&) = delete;

  void adViewDidReceivePrecacheNotification(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  // Starts the download of the source, unless there is none or one has started.
  void preload();
  // Cancels the download, deletes its file and tells the page "precacheCanceled".
  void abort();
  // Cancels the download and deletes its file; the bytes it had cached.
  std::int64_t lastBytesAfterCleanUp();
  void dispatchPrecacheEventWithBytesLoaded(std::uint64_t bytesLoaded, std::int64_t totalBytes, const char* event);

  const std::shared_ptr<ZUMResourceCache>& resourceCache() const { return resourceCache_; }
  const std::optional<platform::URL>& sourceURL() const { return sourceURL_; }
  bool hasStartedPreloading() const { return hasStartedPreloading_; }

  // --- ZUMResourceCacheDelegate -------------------------------------------------------
  void resourceCacheDidReceiveResponse(const std::shared_ptr<ZUMResourceCache>& cache) override;
  void resourceCacheDidReceiveData(const std::shared_ptr<ZUMResourceCache>& cache) override;
  void resourceCacheDidSucceedCaching(const std::shared_ptr<ZUMResourceCache>& cache) override;
  void resourceCacheDidFailCachingWithError(const std::shared_ptr<ZUMResourceCache>& cache,
                                            const platform::ErrorPtr& error) override;

 private:
  ZUMPrecacheTOLMHandler() = default;
  // The cache's bytes with `event`; callbacks of a cache that is no longer ours are ignored.
  void dispatchCacheEvent(const std::shared_ptr<ZUMResourceCache>& cache, const char* event);
  // Fails our cache once kZUMPrecacheMaximumBytes cut it short; whether it did.
  bool failAtMaximum(const std::shared_ptr<ZUMResourceCache>& cache);

  std::weak_ptr<ZUMAdView> adView_;
  std::optional<platform::URL> sourceURL_;
  bool hasStartedPreloading_ = false;
  std::shared_ptr<ZUMVideoConfiguration> videoConfiguration_;
  std::int64_t byteThresholdToNotify_ = 0;
  bool hasNotifiedAtByteThreshold_ = false;
  std::shared_ptr<ZUMResourceCache> resourceCache_;
  // The download is capped by kZUMPrecacheMaximumBytes rather than by the page.
  bool cappedAtMaximum_ = false;
};
