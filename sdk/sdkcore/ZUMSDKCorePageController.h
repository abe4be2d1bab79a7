// The SDK's SDK-core controller: the process-wide owner of the hidden SDK-core page
// (ZUMSDKCoreWebView) behind the request-level interface ZUMSDKCoreController. It
// loads the page when a request needs it (again when it failed, or when it is more than
// an hour old and the page allows refreshes), holds requesters until the page is ready,
// gives every ad request and script block an identifier from one counter ("1", "2",
// ...), sends ad requests as QYRA_getAd / QYRA_getAdapterLessMediationAd, routes the
// page's answers back by "request_id", and runs script blocks once the page is ready.
//
// Nothing waits for ever: an ad request the page has not answered within the script
// time-out, or that a refresh cut off, fails with code 5 or 11; every completion is
// called exactly once, on the main thread (result, time-out, refresh, or no script).
//
// It also lends SDK-core pages for active-view measurement (a shared one, or a fresh one
// each time when the constants say so), keeps up to a cap of the given-back pages whose
// measurement still runs, and keeps the visibility monitors' sampling interval. At
// creation it draws once whether this process joins the web-view experiment (the page
// then runs in the newer engine in the experiment's arm).
//
// The tables live on the serial queue "com.vantor.morvane.sdk-core-controller". Every
// public operation may be called from any thread and returns at once; create() and the
// page's callbacks run on the main thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandlerDelegate.h"
#include "sdk/sdkcore/ZUMSDKCoreWebView.h"

namespace platform {
class DispatchQueue;
}

// A page older than this (milliseconds of the monotonic clock) is refreshed before the
// next request, unless the page has paused refreshes.
inline constexpr std::uint64_t kZUMSDKCoreRefreshAgeMilliseconds = 3'600'000;
// The script completion time-out until the constant "zum:javascript_completion_timeout"
// sets another, in seconds.
inline constexpr double kZUMSDKCoreDefaultCompletionTimeout = 10.0;
// How many given-back pages whose measurement runs are kept until the constants say.
inline constexpr std::int64_t kZUMDefaultActiveViewUnloadCacheMaxSize = 3;

class ZUMSDKCorePageController final : public ZUMSDKCoreController,
                                       public ZUMSDKCoreWebViewNotification,
                                       public ZUMSDKCoreTOLMHandlerDelegate,
                                       public std::enable_shared_from_this<ZUMSDKCorePageController> {
 public:
  // Main thread: makes the page's web view (not loaded yet).
  static std::shared_ptr<ZUMSDKCorePageController> create();
  ~ZUMSDKCorePageController() override;

  // ZUMSDKCoreController
  void buildAdURL(const std::shared_ptr<ZUMSDKCoreControllerDelegate>& requester) override;
  void executeJavaScriptFromBlockWhenReady(ZUMSDKCoreScriptBlock block, ZUMSDKCoreCompletionBlock completion) override;
  void executeExportedJavaScriptCommand(const std::string& command,
                                        const std::optional<nlohmann::ordered_json>& parameters,
                                        ZUMSDKCoreCompletionBlock completion) override;
  void postJavaScriptNotification(const std::string& name,
                                  const std::optional<nlohmann::ordered_json>& userInfo) override;
  std::shared_ptr<ZUMSDKCoreWebView> activeSDKCoreWebView() override;
  void setActiveSDKCoreWebView(std::shared_ptr<ZUMSDKCoreWebView> webView);

  // --- Active view --------------------------------------------------------------------------
  double activeViewSamplingInterval() override;
  // Values that are not finite or not above 0 are refused (the earlier one stays).
  void setActiveViewSamplingInterval(double seconds);
  std::shared_ptr<ZUMActiveViewWebView> SDKCoreWebViewForActiveViewProcessing() override;
  void finishedUsingSDKCoreWebViewForActiveViewProcessing(
      const std::shared_ptr<ZUMActiveViewWebView>& webView) override;
  void cacheRunningActiveViewWebView(const std::shared_ptr<ZUMSDKCoreWebView>& webView);
  void removeFinishedActiveViewWebViews();
  std::vector<std::shared_ptr<ZUMSDKCoreWebView>> activeViewSDKCoreWebViews() const;
  // Below 1 is refused.
  void setActiveViewUnloadCacheMaxSize(std::int64_t size);
  void setUseNewWebViewsForActiveViewProcessing(bool use);
  // The web-view experiment's id (nullopt: not in the experiment) and the class key of
  // the pages the controller makes ("ui", or "wk" in the experiment's arm).
  std::optional<std::string> SDKCoreWebViewExperimentID() const { return experimentID_; }
  const ZUMWebViewConfiguration& webViewConfiguration() const { return webViewConfiguration_; }

  // How long a sent script (and an ad request sent to the page) waits for its answer.
  double SDKCoreJavaScriptCompletionBlockTimeoutInterval() const;
  void setSDKCoreJavaScriptCompletionBlockTimeoutInterval(double seconds);
  bool isRefreshPaused() const;
  // Whether the page has delivered its constants since its last refresh.
  bool SDKCoreUpdateHandled() const;

  // ZUMSDKCoreWebViewNotification
  void didFinishLoadingSDKCoreInSDKCoreWebView(ZUMSDKCoreWebView& webView) override;

  // ZUMSDKCoreTOLMHandlerDelegate
  void SDKCoreTOLMHandlerLoadAdURLWithRequestID(ZUMSDKCoreTOLMHandler& handler, const std::string& requestID,
                                                const nlohmann::ordered_json& parameters) override;
  void SDKCoreTOLMHandlerLoadAdWithRequestID(ZUMSDKCoreTOLMHandler& handler, const std::string& requestID,
                                             const nlohmann::ordered_json& ad) override;
  void SDKCoreTOLMHandlerDidReceiveInvalidAdWithRequestID(ZUMSDKCoreTOLMHandler& handler,
                                                          const std::optional<std::string>& requestID,
                                                          const nlohmann::ordered_json& parameters) override;
  // The constants become the switches and live settings (ZUMApplySDKConstants).
  void SDKCoreTOLMHandlerDidLoadSDKConstants(ZUMSDKCoreTOLMHandler& handler,
                                             const nlohmann::ordered_json& constants) override;
  void SDKCoreTOLMHandlerDidReceiveSDKCoreUpdateNotification(ZUMSDKCoreTOLMHandler& handler) override;
  void SDKCoreTOLMHandlerDidReceiveResultActionWithRequestID(ZUMSDKCoreTOLMHandler& handler,
                                                             const std::string& requestID,
                                                             const nlohmann::ordered_json& arguments) override;
  void SDKCoreTOLMHandlerDidReceivePauseSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler& handler) override;
  void SDKCoreTOLMHandlerDidReceiveResumeSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler& handler) override;

 private:
  using Requester = std::shared_ptr<ZUMSDKCoreControllerDelegate>;
  // Identifiers in the order they were given ("9" before "10").
  struct IdentifierOrder {
    bool operator()(const std::string& a, const std::string& b) const {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    }
  };
  using CompletionTable = std::map<std::string, ZUMSDKCoreCompletionBlock, IdentifierOrder>;
  ZUMSDKCorePageController() = default;
  void setSDKCoreWebViewExperiment();
  std::shared_ptr<ZUMSDKCoreWebView> makeRefreshedWebView();

  // On lockQueue_.
  std::string nextRequestID();
  void attemptToRefreshActiveWebViewSDKCore();
  void refreshActiveWebViewSDKCore();
  void observeSDKCoreWebViewForSDKCoreLoadRequestCompleted();
  void asynchronouslyRequestURLForDelegate(const Requester& requester);
  void executePendingJavaScriptBlocks();
  void handleSDKCoreUpdate();
  // Takes the completion waiting under `requestID` from `table` and calls it on the
  // main queue; nothing when it has gone.
  void completeOnce(CompletionTable& table, const std::string& requestID, std::optional<nlohmann::ordered_json> result,
                    platform::ErrorPtr error);
  Requester takeRequester(const std::string& requestID);

  std::shared_ptr<platform::DispatchQueue> lockQueue_;
  std::shared_ptr<ZUMSDKCoreWebView> activeSDKCoreWebView_;
  std::vector<Requester> pendingActiveWebViewLoadDelegates_;
  std::uint64_t lastWebViewRefreshTimestamp_ = 0;
  std::uint64_t requestID_ = 1;
  bool SDKCoreUpdateHandled_ = false;
  bool hasReportedSDKCoreStateAtLeastOnce_ = false;
  bool refreshPaused_ = false;
  std::map<std::string, ZUMSDKCoreScriptBlock, IdentifierOrder> pendingJavaScriptBlocks_;
  CompletionTable pendingJavaScriptBlockExecutionCompletionHandlers_;
  CompletionTable pendingJavaScriptCompletionHandlers_;
  std::map<std::string, Requester> pendingBuildAdURLDelegates_;
  double SDKCoreJavaScriptCompletionBlockTimeoutInterval_ = kZUMSDKCoreDefaultCompletionTimeout;
  std::vector<std::shared_ptr<ZUMSDKCoreWebView>> activeViewSDKCoreWebViews_;
  std::int64_t activeViewUnloadCacheMaxSize_ = kZUMDefaultActiveViewUnloadCacheMaxSize;
  bool activeViewRequestedSDKCoreReload_ = false;
  std::shared_ptr<ZUMSDKCoreWebView> activeViewSDKCoreWebView_;
  bool useNewWebViewsForActiveViewProcessing_ = false;
  double activeViewSamplingInterval_ = kZUMDefaultActiveViewSamplingInterval;
  // Set once by create(), read-only afterwards.
  std::optional<std::string> experimentID_;
  ZUMWebViewConfiguration webViewConfiguration_;
};
