// The handler of the SDK-core page's in-page messages: it passes the ad-loading answers
// to its delegate (the SDK-core controller) and does for the page what the page cannot
// do itself: HTTP(S) requests, downloads into the SDK's cache folder, its saved state,
// and the merge of server-side application settings. Replies go through the SDK-core
// web view's script queue.
//
// The page is not trusted: its HTTP requests and downloads are http(s) only, its file
// operations stay inside the SDK's cache folder, and its saved state is bounded.
//
// Main thread only, except the fetch table, which is guarded by the serial queue
// "com.vantor.morvane.sdk-core-tolmhandler".
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "sdk/network/ZUMResourceCacheDelegate.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/request/ZUMAdFetcherDelegate.h"

namespace platform {
class DispatchQueue;
}

class ZUMAdFetcher;
class ZUMSDKCoreTOLMHandlerDelegate;
class ZUMSDKCoreWebView;

// The user default that holds the page's saved state.
inline constexpr const char* kZUMSDKCoreStateKey = "/vantor/ads/sdk_core_state";
// The saved state's JSON may not grow past this many bytes; a "saveState" that would
// is refused with a log line.
inline constexpr std::size_t kZUMSDKCoreMaxSavedStateBytes = 64 * 1024;
// How many ended downloads stay known by their file, for hand-overs that come late.
inline constexpr std::size_t kZUMSDKCoreMaxEndedResourceCaches = 16;

class ZUMSDKCoreTOLMHandler final : public ZUMTOLMHandler,
                                    public ZUMAdFetcherDelegate,
                                    public ZUMResourceCacheDelegate,
                                    public std::enable_shared_from_this<ZUMSDKCoreTOLMHandler> {
 public:
  static std::shared_ptr<ZUMSDKCoreTOLMHandler> create();
  ~ZUMSDKCoreTOLMHandler() override;

  const ActionTable* actionBlockDictionary() const override;

  void setSDKCoreWebView(const std::shared_ptr<ZUMSDKCoreWebView>& webView) { webView_ = webView; }
  std::shared_ptr<ZUMSDKCoreWebView> SDKCoreWebView() const { return webView_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMSDKCoreTOLMHandlerDelegate>& delegate) { delegate_ = delegate; }

  // --- Fetch table (any thread) ----------------------------------------------------------
  void setAdFetcher(const std::shared_ptr<ZUMAdFetcher>& fetcher, const std::string& fetchRequestID);
  bool isFetchInProgressForFetchRequestID(const std::string& fetchRequestID) const;
  std::optional<std::string> fetchRequestIDForAdFetcher(const ZUMAdFetcher& fetcher) const;
  void removeAdFetcherForFetchRequestID(const std::string& fetchRequestID);

  // --- Resource caches (main thread) -------------------------------------------------------
  std::shared_ptr<ZUMResourceCache> resourceCacheForFileURL(const platform::URL& fileURL) const;
  std::optional<std::string> requestIDForResourceCache(const ZUMResourceCache& cache) const;
  std::size_t resourceCacheCount() const { return resourceCaches_.size(); }
  // The latest download into `fileURL` that has ended (succeeded or failed) since the
  // file was last written, removed or cleaned up; nullptr when none is known. It answers
  // a hand-over that arrives after the download's end, which the running table above
  // no longer knows.
  std::shared_ptr<ZUMResourceCache> endedResourceCacheForFileURL(const platform::URL& fileURL) const;
  // Whether the page holds refreshes back.
  bool isRefreshPaused() const { return !pauseIDs_.empty(); }

  // ZUMAdFetcherDelegate
  void adFetcherDidFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad) override;
  void adFetcherDidFailToFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad,
                                 const platform::ErrorPtr& error, std::int64_t responseCode) override;
  // ZUMResourceCacheDelegate
  void resourceCacheDidStartCaching(const std::shared_ptr<ZUMResourceCache>& cache) override;
  void resourceCacheDidReceiveResponse(const std::shared_ptr<ZUMResourceCache>& cache) override;
  void resourceCacheDidSucceedCaching(const std::shared_ptr<ZUMResourceCache>& cache) override;
  void resourceCacheDidFailCachingWithError(const std::shared_ptr<ZUMResourceCache>& cache,
                                            const platform::ErrorPtr& error) override;

 private:
  ZUMSDKCoreTOLMHandler();

  // Actions, one per message.
  void loadAdURL(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void loadAd(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void invalidRequest(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void loadSdkConstants(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void fetchHttpRequest(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void requestReload(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void appSettingsFetched(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void saveState(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void result(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void cacheResource(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void removeResource(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void resourceStatusCheck(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void cleanupCacheDirectory(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void sdkCoreRefresh(ZUMAdView& adView, const nlohmann::ordered_json& parameters);

  // Replies.
  void sendFetchReply(bool success, const std::optional<std::string>& fetchRequestID, const std::string& reason,
                      std::int64_t responseCode, const std::shared_ptr<ZUMAd>& ad);
  void notifyResourceCache(const std::shared_ptr<ZUMResourceCache>& cache, const std::string& status,
                           bool cachingInProgress, const platform::ErrorPtr& error);
  void notifyCacheDictionary(const nlohmann::ordered_json& cache, const nlohmann::ordered_json& file,
                             const std::optional<std::string>& requestID, const platform::ErrorPtr& error);
  void enqueue(std::string command);
  void forgetEndedResourceCaches(const platform::URL& fileURL);

  std::shared_ptr<platform::DispatchQueue> lockQueue_;
  std::map<std::string, std::shared_ptr<ZUMAdFetcher>> adFetchers_;  // on lockQueue_
  std::map<std::string, std::shared_ptr<ZUMResourceCache>> resourceCaches_;
  std::deque<std::shared_ptr<ZUMResourceCache>> endedResourceCaches_;  // oldest first
  std::set<std::int64_t> pauseIDs_;
  std::weak_ptr<ZUMSDKCoreWebView> webView_;
  std::weak_ptr<ZUMSDKCoreTOLMHandlerDelegate> delegate_;
};
