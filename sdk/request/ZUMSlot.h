// The per-placement controller of one ad view: it decides whether a load may start,
// asks the SDK-core controller for an ad URL (or loads an ad handed to it directly),
// fetches the ad, hands it to response processing, reports success or failure to its
// owner, and keeps the auto-refresh timer.
//
// The areas above the slot plug in through one interface each, installed at start-up:
// ZUMSlotRendering, ZUMSlotResponseProcessing, ZUMSlotEvents, ZUMSlotTelemetry,
// ZUMSlotMediation and ZUMSlotFormats; the slot keeps their per-slot objects in its
// fields (mediation manager, CSI, logger, impression monitor).
//
// States: 0 idle, 1 SDK core failed, 2 building the ad URL, 3 ad URL received, 4 fetching
// or mediating, 5 rendering, 6 valid ad, 7 failed, 8 invalidated (final).
//
// Main thread only, but for loadRequest() and loadNextRequestWithAutoRefresh() (which
// re-dispatch to the main queue), setRequestID() and adLoadActionTimeRecorder() (called
// from the SDK-core controller's queue).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "ZUMAdSize.h"
#include "platform/base/Error.h"
#include "platform/base/NotificationCenter.h"
#include "platform/ui/Geometry.h"
#include "sdk/request/ZUMAdFetcherDelegate.h"
#include "sdk/request/ZUMSDKCoreControllerDelegate.h"

namespace platform {
class Timer;
class View;
}  // namespace platform

class ZUMAd;
class ZUMAdFetcher;
class ZUMAdStatistics;
class ZUMAdType;
class ZUMBannerAdViewDelegate;
class ZUMCorrelator;
class ZUMCSI;
class ZUMCSITimeRecorder;
class ZUMFennickLogger;
class ZUMImpressionMonitor;
class ZUMIntermission;
class ZUMMAdManager;
class ZUMMAdNetworkConnectorImpl;
class ZUMMRAIDEventHandling;
class ZUMRequest;
class ZUMSlotAdEventDelegate;
class ZUMSlotAdKeyDelegate;
class ZUMSlotAdLoadDelegate;
class ZUMSlotActiveView;
class ZUMSlotAdResponseDelegate;
class ZUMSlotDelegate;
class ZUMSlotPlacement;
class ZUMSlotStatistics;

// The class name of the SDK's own network's adapter, which fills every ad that is not
// mediated.
inline constexpr const char* kZUMFirstPartyAdapterClassName = "ZUMMAdapterVantorMorvaneAds";

// Posted (object: the slot) when the owner's view left its window.
inline constexpr const char* kZUMSlotDidLeaveWindowNotification = "ZUMSlotDidLeaveWindowNotification";

class ZUMSlot final : public ZUMSDKCoreControllerDelegate,
                      public ZUMAdFetcherDelegate,
                      public std::enable_shared_from_this<ZUMSlot> {
 public:
  enum class State : std::int64_t {
    kIdle = 0,
    kSDKCoreFailed = 1,
    kBuildingAdURL = 2,
    kAdURLReceived = 3,
    kFetching = 4,
    kRendering = 5,
    kValidAd = 6,
    kFailed = 7,
    kInvalidated = 8,
  };

  // A slot whose ad view has `frame`. Main thread.
  static std::shared_ptr<ZUMSlot> create(const platform::Rect& frame = {});
  ~ZUMSlot() override;
  ZUMSlot(const ZUMSlot&) = delete;
  ZUMSlot& operator=(const ZUMSlot&) = delete;

  // --- Loading ------------------------------------------------------------------------
  // Starts a load with a copy of the request (nullptr: an empty request). Any thread.
  void loadRequest(const std::shared_ptr<ZUMRequest>& request);
  // Loads `nextRequest`; off the main thread it re-dispatches to the main queue.
  void loadNextRequestWithAutoRefresh(bool autoRefresh);
  // True in states 2 to 5.
  bool isMakingRequest() const;
  void setAdType(const std::shared_ptr<ZUMAdType>& adType, bool reloadRequest);

  // --- Ending ---------------------------------------------------------------------------
  // Drops a load in progress (state 0).
  void cancelLoad();
  // Stops the reload timer, cancelLoad(), stops mediation.
  void cancelPendingActions();
  // cancelPendingActions(), clears the slot delegate, no more refreshes; state 8.
  void cancelPendingAndFutureActions();
  // Takes the ad view out of the slot; state 8.
  void invalidate();

  // --- Step methods (response processing, the ad-view delegates, mediation) -------------
  void resetState();
  void didFailToRetrieveSDKCoreWithError(const platform::ErrorPtr& error);
  void willRequestAdURL();
  void didReceiveAdURL();
  void willFetchAdContent();
  void willProcessMediationResponse();
  void willStartAdRendering();
  void willLoadAdHTMLInWebView();
  void didReceiveValidAd();
  // The one failure path of a started load; accepted in any state but 8.
  void didFailToReceiveAdWithError(const platform::ErrorPtr& error, bool shouldCancelPendingActions);
  void invalidateState();
  // The ad page has loaded (after didReceiveValidAd()).
  void didLoadAdHTMLInWebView();
  // "loading_succeeded", the hub's end of request, the load delegate's success.
  void adFinishedLoadingContent();
  // "loading_failed", the hub's end of request, the load delegate's failure.
  void adFailedToReceiveContentWithError(const platform::ErrorPtr& error);
  void mediatedAdNetworkAutoRefreshed() { hasAutoRefreshed_ = true; }
  // Sends the load timings, when there is a recorder.
  void sendCSIAdLoadTimings();

  // --- Reload timer ---------------------------------------------------------------------
  // Values under 1 s (and values that are not finite) store 0: no refresh.
  void setReloadInterval(double seconds);
  double reloadInterval() const { return reloadInterval_; }
  void scheduleAdReloadTimer();
  void deactivateReloadTimer();
  void reloadCurrentRequest();
  bool hasReloadTimer() const { return reloadTimer_ != nullptr; }
  bool reloadable() const { return reloadable_; }
  void setReloadable(bool reloadable) { reloadable_ = reloadable; }

  // --- Full screen ----------------------------------------------------------------------
  // The slot's full-screen session begins, starts to end, has ended: the event delegate
  // hears slotWillPresentScreen, slotWillDismissScreen, slotDidDismissScreen.
  void adWillPresentScreen();
  void adWillDismissScreen();
  void adDidDismissScreen();
  // The last visibility reported for an MRAID ad (active-view monitoring sets it); false
  // until then. The session gives it back to the page when it ends.
  bool monitoredViewVisible() const { return monitoredViewVisible_; }
  void setMonitoredViewVisible(bool visible) { monitoredViewVisible_ = visible; }

  // --- ZUMSDKCoreControllerDelegate -----------------------------------------------------
  std::shared_ptr<ZUMCSITimeRecorder> adLoadActionTimeRecorder() override;
  // The parameters of loadingRequest() (defined with the parameter keys).
  nlohmann::ordered_json requestParameters() override;
  std::int64_t requestedAdType() override;
  void setRequestID(const std::string& requestID) override;
  void loadAdURLWithParameters(const nlohmann::ordered_json& parameters) override;
  void loadAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<nlohmann::ordered_json>& headers) override;
  void invalidJavaScriptRequest() override;
  void failedJavaScriptFile() override;
  void SDKCoreRequestDidFailWithError(const platform::ErrorPtr& error) override;

  // --- ZUMAdFetcherDelegate -------------------------------------------------------------
  void adFetcherDidFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad) override;
  void adFetcherDidFailToFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad,
                                 const platform::ErrorPtr& error, std::int64_t responseCode) override;

  // --- Fields ---------------------------------------------------------------------------
  State state() const { return state_; }
  std::optional<std::string> adUnitID() const { return adUnitID_; }
  // Also sets the identifier of slotStats().
  void setAdUnitID(std::optional<std::string> adUnitID);
  std::shared_ptr<ZUMAdType> adType() const { return adType_; }
  std::shared_ptr<ZUMAd> ad() const { return ad_; }
  // The adapter class that filled the shown ad: none unless a valid ad is shown (state
  // 6); the first-party adapter for an ad that is not mediated; for a mediated ad, the
  // shown network's (ZUMSlotMediation).
  std::optional<std::string> adNetworkClassName() const;
  void setAd(std::shared_ptr<ZUMAd> ad) { ad_ = std::move(ad); }
  std::shared_ptr<ZUMAd> loadingAd() const { return loadingAd_; }
  void setLoadingAd(std::shared_ptr<ZUMAd> ad) { loadingAd_ = std::move(ad); }
  std::shared_ptr<ZUMAd> pendingCustomRenderingAd() const { return pendingCustomRenderingAd_; }
  void setPendingCustomRenderingAd(std::shared_ptr<ZUMAd> ad) { pendingCustomRenderingAd_ = std::move(ad); }
  std::shared_ptr<ZUMRequest> loadingRequest() const { return loadingRequest_; }
  std::shared_ptr<ZUMRequest> nextRequest() const { return nextRequest_; }
  std::shared_ptr<ZUMCorrelator> correlator() const { return correlator_; }
  void setCorrelator(std::shared_ptr<ZUMCorrelator> correlator) { correlator_ = std::move(correlator); }
  std::optional<std::string> requestID() const;
  std::shared_ptr<platform::View> adView() const { return adView_; }
  std::shared_ptr<ZUMBannerAdViewDelegate> adViewDelegate() const { return adViewDelegate_; }
  void setAdViewDelegate(std::shared_ptr<ZUMBannerAdViewDelegate> delegate) { adViewDelegate_ = std::move(delegate); }
  std::shared_ptr<ZUMAdFetcher> adFetcher() const { return adFetcher_; }
  std::shared_ptr<ZUMSlotStatistics> slotStats() const { return slotStats_; }
  // The hub's statistics taken when the load started (an object, possibly empty).
  nlohmann::ordered_json applicationStatistics() const;
  const std::vector<std::shared_ptr<ZUMAdStatistics>>& pendingAdStatistics() const { return pendingAdStatistics_; }
  void setPendingAdStatistics(std::vector<std::shared_ptr<ZUMAdStatistics>> statistics) {
    pendingAdStatistics_ = std::move(statistics);
  }
  bool hasAutoRefreshed() const { return hasAutoRefreshed_; }
  bool slotHasAttemptedAnAdRequestAtLeastOnce() const { return attemptedRequest_; }
  bool manualImpressionsEnabled() const { return manualImpressionsEnabled_; }
  void setManualImpressionsEnabled(bool enabled) { manualImpressionsEnabled_ = enabled; }
  std::int64_t timeLastLoaded() const { return timeLastLoaded_; }
  // Whether the shown ad has made its impression.
  bool viewHasMadeImpression() const { return viewHasMadeImpression_; }
  void setViewHasMadeImpression(bool made) { viewHasMadeImpression_ = made; }
  ZUMAdSize newAdSize() const { return newAdSize_; }
  void setNewAdSize(const ZUMAdSize& size) { newAdSize_ = size; }
  std::shared_ptr<ZUMSlotPlacement> placement() const { return placement_.lock(); }
  void setPlacement(const std::shared_ptr<ZUMSlotPlacement>& placement);
  std::shared_ptr<ZUMIntermission> intermission() const { return intermission_.lock(); }
  void setIntermission(const std::shared_ptr<ZUMIntermission>& intermission) { intermission_ = intermission; }

  // --- Per-slot state of the areas above the slot -----------------------------------------
  // The waterfall driver, made with the slot by ZUMSlotMediation (nullptr without it).
  std::shared_ptr<ZUMMAdManager> mediationManager() const { return mediationManager_; }
  // The connector whose network's ad the slot shows though another slot's waterfall
  // found it (an ad loader's mediated banner): kept, and handed to this slot's waterfall
  // (ZUMSlotMediation), so that the network's events reach this slot.
  const std::shared_ptr<ZUMMAdNetworkConnectorImpl>& mediationConnector() const { return mediationConnector_; }
  void setMediationConnector(std::shared_ptr<ZUMMAdNetworkConnectorImpl> connector);
  // The slot's own CSI registry, made with the slot; reported at teardown.
  std::shared_ptr<ZUMCSI> CSI() const { return CSI_; }
  void setCSI(std::shared_ptr<ZUMCSI> csi) { CSI_ = std::move(csi); }
  // The slot's event logger, renewed by the event area at every load.
  std::shared_ptr<ZUMFennickLogger> logger() const { return logger_; }
  void setLogger(std::shared_ptr<ZUMFennickLogger> logger) { logger_ = std::move(logger); }
  // The MRAID event handling of the slot's ads, made by the event area (kept here; ads
  // hold it weakly).
  std::shared_ptr<ZUMMRAIDEventHandling> MRAIDEventHandler() const { return MRAIDEventHandler_; }
  void setMRAIDEventHandler(std::shared_ptr<ZUMMRAIDEventHandling> handler) { MRAIDEventHandler_ = std::move(handler); }
  // The slot's active-view side, made by the rendering area on first use.
  std::shared_ptr<ZUMSlotActiveView> activeView() const { return activeView_; }
  void setActiveView(std::shared_ptr<ZUMSlotActiveView> activeView) { activeView_ = std::move(activeView); }
  std::shared_ptr<ZUMImpressionMonitor> impressionMonitor() const { return impressionMonitor_; }
  void setImpressionMonitor(std::shared_ptr<ZUMImpressionMonitor> monitor) { impressionMonitor_ = std::move(monitor); }
  // The rectangles the MRAID page is told of (zero until measured).
  platform::Rect usableInterfaceFrame() const { return usableInterfaceFrame_; }
  void setUsableInterfaceFrame(const platform::Rect& frame) { usableInterfaceFrame_ = frame; }
  platform::Rect creativeWebViewFrame() const { return creativeWebViewFrame_; }
  void setCreativeWebViewFrame(const platform::Rect& frame) { creativeWebViewFrame_ = frame; }
  platform::Rect creativeAdFrame() const { return creativeAdFrame_; }
  void setCreativeAdFrame(const platform::Rect& frame) { creativeAdFrame_ = frame; }

  std::shared_ptr<ZUMSlotDelegate> slotDelegate() const { return slotDelegate_.lock(); }
  void setSlotDelegate(const std::shared_ptr<ZUMSlotDelegate>& d) { slotDelegate_ = d; }
  std::shared_ptr<ZUMSlotAdLoadDelegate> adLoadDelegate() const { return adLoadDelegate_.lock(); }
  void setAdLoadDelegate(const std::shared_ptr<ZUMSlotAdLoadDelegate>& d) { adLoadDelegate_ = d; }
  std::shared_ptr<ZUMSlotAdEventDelegate> adEventDelegate() const { return adEventDelegate_.lock(); }
  void setAdEventDelegate(const std::shared_ptr<ZUMSlotAdEventDelegate>& d) { adEventDelegate_ = d; }
  std::shared_ptr<ZUMSlotAdResponseDelegate> adResponseDelegate() const { return adResponseDelegate_.lock(); }
  void setAdResponseDelegate(const std::shared_ptr<ZUMSlotAdResponseDelegate>& d) { adResponseDelegate_ = d; }
  std::shared_ptr<ZUMSlotAdKeyDelegate> adKeyDelegate() const { return adKeyDelegate_.lock(); }
  void setAdKeyDelegate(const std::shared_ptr<ZUMSlotAdKeyDelegate>& d) { adKeyDelegate_ = d; }

  // "<ZUMSlot: 0x...>\nad unit ID:<id>".
  std::string description() const;

 private:
  explicit ZUMSlot(const platform::Rect& frame);
  void setUp(const platform::Rect& frame);
  void setState(State state);
  bool shouldMakeRequest(const std::shared_ptr<ZUMRequest>& request);
  void startLoad(bool autoRefresh);
  void loadFromNetworkExtras();
  void logTestDeviceHint();
  void resetRequestState();
  void didFetchAdContent();
  void logEvent(const std::string& name, const nlohmann::ordered_json& info);
  void adWillPresentFullScreen();
  void cancelMediation();

  std::atomic<State> state_{State::kIdle};
  std::optional<std::string> adUnitID_;
  std::shared_ptr<ZUMAdType> adType_;
  std::shared_ptr<ZUMAd> ad_;
  std::shared_ptr<ZUMAd> loadingAd_;
  std::shared_ptr<ZUMAd> pendingCustomRenderingAd_;
  std::shared_ptr<ZUMRequest> loadingRequest_;
  std::shared_ptr<ZUMRequest> nextRequest_;
  std::shared_ptr<ZUMCorrelator> correlator_;
  mutable std::mutex mutex_;  // guards requestID_ and adLoadActionTimeRecorder_
  std::optional<std::string> requestID_;
  std::shared_ptr<ZUMCSITimeRecorder> adLoadActionTimeRecorder_;
  std::shared_ptr<platform::View> adView_;
  std::shared_ptr<ZUMBannerAdViewDelegate> adViewDelegate_;
  std::shared_ptr<ZUMAdFetcher> adFetcher_;
  std::shared_ptr<ZUMSlotStatistics> slotStats_;
  std::unique_ptr<nlohmann::ordered_json> applicationStatistics_;  // never null
  std::vector<std::shared_ptr<ZUMAdStatistics>> pendingAdStatistics_;
  std::shared_ptr<platform::Timer> reloadTimer_;
  double reloadInterval_ = 60.0;
  bool reloadable_ = false;
  bool hasAutoRefreshed_ = false;
  bool attemptedRequest_ = false;
  bool manualImpressionsEnabled_ = false;
  bool monitoredViewVisible_ = false;
  bool viewHasMadeImpression_ = false;
  std::int64_t timeLastLoaded_ = 0;
  ZUMAdSize newAdSize_ = kZUMAdSizeInvalid;
  std::weak_ptr<ZUMSlotPlacement> placement_;
  std::weak_ptr<ZUMIntermission> intermission_;
  std::shared_ptr<ZUMMAdManager> mediationManager_;
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnector_;
  std::shared_ptr<ZUMCSI> CSI_;
  std::shared_ptr<ZUMFennickLogger> logger_;
  std::shared_ptr<ZUMImpressionMonitor> impressionMonitor_;
  std::shared_ptr<ZUMSlotActiveView> activeView_;
  std::shared_ptr<ZUMMRAIDEventHandling> MRAIDEventHandler_;
  platform::Rect usableInterfaceFrame_;
  platform::Rect creativeWebViewFrame_;
  platform::Rect creativeAdFrame_;
  std::weak_ptr<ZUMSlotDelegate> slotDelegate_;
  std::weak_ptr<ZUMSlotAdLoadDelegate> adLoadDelegate_;
  std::weak_ptr<ZUMSlotAdEventDelegate> adEventDelegate_;
  std::weak_ptr<ZUMSlotAdResponseDelegate> adResponseDelegate_;
  std::weak_ptr<ZUMSlotAdKeyDelegate> adKeyDelegate_;
  std::vector<platform::NotificationCenter::Token> observers_;

  // --- Request parameters (ZUMSlot+Parameters.cpp) --------------------------------------
 public:
  // The request's parameters overlaid with the slot's own keys, in order: correlation
  // id, quality signals, slot name, format and size keys, request id, position and the
  // switches. Main thread. Also replaces pendingAdStatistics() with the hub's pending ad
  // statistics (handing the earlier ones back first), may store the content fingerprint
  // and may log the analytics event "_aq".
  nlohmann::ordered_json requestParametersForRequest(const std::shared_ptr<ZUMRequest>& request);
  // The experiment ids (comma-separated) that every slot's request carries under "eid",
  // when there are any. Any thread.
  static std::optional<std::string> experimentIDString();
};
