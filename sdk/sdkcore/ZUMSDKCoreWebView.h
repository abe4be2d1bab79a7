// The hidden page that runs the ad network's SDK-core script. It wraps one ZUMAdView
// that is never shown, loads the page from ZUMSDKCorePageURLString, tracks whether the
// page is loading, loaded or failed, queues script commands until the page can run
// them (at most 50 wait; the oldest goes first), tells one-time observers when a load
// has ended, and routes the page's in-page messages.
//
// Routing, once the page has loaded (state 3): a message goes to the SDK-core message
// handler, then to the active-view message handler (when there is one), and otherwise
// to the plain ad-view delegate made here, whose chain of handlers and notifications
// (ZUMAdViewDelegate) takes the rest and whose answer is the navigation's. That
// delegate also hears every finished and failed load, the page's own and its
// sub-resources'. Messages in any other state are dropped.
//
// States: 0 never loaded, 1 load requested, 2 loading, 3 loaded, 4 failed. A load that
// has not ended kZUMSDKCorePageLoadTimeout seconds after it was requested fails (state
// 4), so observers never wait for ever.
//
// The page's loads are timed ("jsf_ios" of the action "load_ad_ios") in a CSI registry of
// the web view's own, reported at every refresh and when the web view goes.
//
// State, observers and the script queue live on the serial queue
// "com.vantor.morvane.sdk-core-web-view"; state() and the counts may be read from any
// thread. Loading, scripts, observer callbacks and the ad-view delegate operations run
// on the main thread.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sdk/rendering/ZUMActiveViewTOLMHandlerDelegate.h"
#include "sdk/rendering/ZUMActiveViewWebView.h"
#include "sdk/rendering/ZUMAdViewDelegateProtocol.h"
#include "sdk/rendering/ZUMCSITOLMHandlerDelegate.h"
#include "sdk/rendering/ZUMWebViewConfiguration.h"

namespace platform {
class DispatchQueue;
}

class ZUMAdView;
class ZUMAdViewActiveViewMonitoring;
class ZUMCSI;
class ZUMCSITimeRecorder;
class ZUMSDKCoreTOLMHandler;
class ZUMTOLMHandler;
class ZUMSDKCoreWebView;

// The page's address: loaded, and recognised in navigations and load failures, always
// compared as whole absolute strings.
extern const char* const ZUMSDKCorePageURLString;
// How long a requested load may take before it counts as failed, in seconds.
inline constexpr double kZUMSDKCorePageLoadTimeout = 30.0;
// At most this many script commands wait for the page.
inline constexpr std::size_t kZUMSDKCoreMaxPendingCommands = 50;

// A one-time load observer: told once, on the main thread, when a load has ended
// (loaded or failed: it reads the state itself).
class ZUMSDKCoreWebViewNotification {
 public:
  virtual ~ZUMSDKCoreWebViewNotification() = default;
  virtual void didFinishLoadingSDKCoreInSDKCoreWebView(ZUMSDKCoreWebView& webView) = 0;
};

class ZUMSDKCoreWebView final : public ZUMAdViewDelegateProtocol,
                                public ZUMActiveViewWebView,
                                public ZUMActiveViewTOLMHandlerDelegate,
                                public ZUMCSITOLMHandlerDelegate,
                                public std::enable_shared_from_this<ZUMSDKCoreWebView> {
 public:
  enum State : std::int64_t { kNeverLoaded = 0, kLoadRequested = 1, kLoading = 2, kLoaded = 3, kFailed = 4 };

  // Main thread (it makes an ad view). A default configuration when none is given.
  static std::shared_ptr<ZUMSDKCoreWebView> create(const std::optional<ZUMWebViewConfiguration>& configuration = {});
  ~ZUMSDKCoreWebView() override;

  // Sends the CSI report, starts a load unless one is under way, and adds `observer`
  // (may be nullptr) as a one-time observer that is told when that load ends.
  void refreshSDKCoreAndNotifyObserver(const std::shared_ptr<ZUMSDKCoreWebViewNotification>& observer);
  // Sends the CSI report.
  void willRefreshSDKCore();
  // The registry that times the page's loads; the page's own timing messages write there
  // too (it is the CSI delegate of the plain ad-view delegate's timing handler).
  const std::shared_ptr<ZUMCSI>& CSI() const { return CSI_; }
  std::shared_ptr<ZUMCSI> CSIForTOLMHandler(ZUMTOLMHandler&) override { return CSI_; }
  // Adds a one-time observer (nullptr is ignored); in state 3 or 4 every waiting
  // observer is told at once.
  void addObserverForOneTimeNotification(const std::shared_ptr<ZUMSDKCoreWebViewNotification>& observer);
  void removeObserver(const std::shared_ptr<ZUMSDKCoreWebViewNotification>& observer);
  std::size_t observerCount() const;

  std::int64_t state() const;
  void setState(std::int64_t state);
  bool hasSDKCoreLoadedAtLeastOnce() const;

  // Queues a script for the page: dropped in state 4; run in order once the page is in
  // state 3.
  void enqueueJavaScriptCommand(std::string command) override;
  void dispatchPendingJavaScriptCommands();
  std::size_t pendingJavaScriptCommandCount() const;
  std::vector<std::string> pendingJavaScriptCommands() const;

  const std::shared_ptr<ZUMAdView>& adView() const { return adView_; }
  const std::shared_ptr<ZUMSDKCoreTOLMHandler>& SDKCoreTOLMHandler() const { return handler_; }
  void setSDKCoreTOLMHandler(std::shared_ptr<ZUMSDKCoreTOLMHandler> handler);
  // The handler of the page's active-view messages, asked after the SDK-core one; from
  // the start a ZUMActiveViewTOLMHandler whose delegate is this web view (nullptr: none).
  const std::shared_ptr<ZUMTOLMHandler>& activeViewTOLMHandler() const { return activeViewHandler_; }
  void setActiveViewTOLMHandler(std::shared_ptr<ZUMTOLMHandler> handler) { activeViewHandler_ = std::move(handler); }
  // The plain ad-view delegate that hears the ad view's events after this object and
  // takes the messages no handler here claims; held strongly. A plain ZUMAdViewDelegate
  // from the start; nullptr refuses those messages.
  const std::shared_ptr<ZUMAdViewDelegateProtocol>& adViewDelegate() const { return adViewDelegate_; }
  void setAdViewDelegate(std::shared_ptr<ZUMAdViewDelegateProtocol> delegate) { adViewDelegate_ = std::move(delegate); }

  // --- Active-view measurement in the page ---------------------------------------------
  // Observers are held weakly; the first registered under an identifier stays. An
  // identifier counts as running from its registration until the page untracks it or
  // everything is cleared (removing the observer alone does not stop it). Observers
  // hear of the end with reason 1, the SDK-core page's measurement.
  void setActiveViewObserver(const std::shared_ptr<ZUMAdViewActiveViewMonitoring>& observer,
                             std::uint64_t activeViewID) override;
  void removeActiveViewObserverForActiveViewID(std::uint64_t activeViewID) override;
  void clearAllActiveViewInstances();
  bool isActiveViewRunning() const;
  // From the page's active-view messages.
  void activeViewDidReceiveVisibilityNotification(bool visible, std::uint64_t activeViewID);
  void activeViewDidReceiveUntrackNotification(std::uint64_t activeViewID);
  // ZUMActiveViewTOLMHandlerDelegate: the two above.
  void activeViewTOLMHandlerDidReceiveVisibilityNotification(ZUMTOLMHandler&, bool visible,
                                                             std::uint64_t activeViewID) override {
    activeViewDidReceiveVisibilityNotification(visible, activeViewID);
  }
  void activeViewTOLMHandlerDidReceiveUntrackNotification(ZUMTOLMHandler&, std::uint64_t activeViewID) override {
    activeViewDidReceiveUntrackNotification(activeViewID);
  }

  // ZUMAdViewDelegateProtocol
  std::optional<bool> adViewShouldStartLoadWithRequest(ZUMAdView& adView, const platform::URLRequest& request,
                                                       platform::WebViewNavigationType navigationType) override;
  void adViewDidFinishLoad(ZUMAdView& adView) override;
  void adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) override;

 private:
  ZUMSDKCoreWebView() = default;
  void notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
  void loadTimedOut(std::uint64_t load);
  // The recorder of the page's load timings; nullptr when the registry does not report.
  std::shared_ptr<ZUMCSITimeRecorder> pageLoadRecorder() const;

  std::shared_ptr<platform::DispatchQueue> lockQueue_;
  std::shared_ptr<ZUMAdView> adView_;
  std::shared_ptr<ZUMAdViewDelegateProtocol> adViewDelegate_;
  std::shared_ptr<ZUMSDKCoreTOLMHandler> handler_;
  std::shared_ptr<ZUMTOLMHandler> activeViewHandler_;
  std::shared_ptr<ZUMCSI> CSI_;

  // On lockQueue_.
  std::int64_t state_ = kNeverLoaded;
  bool hasSDKCoreLoadedAtLeastOnce_ = false;
  std::vector<std::shared_ptr<ZUMSDKCoreWebViewNotification>> observers_;
  std::deque<std::string> pendingJSCommands_;
  std::map<std::uint64_t, std::weak_ptr<ZUMAdViewActiveViewMonitoring>> activeViewObservers_;
  std::set<std::uint64_t> runningActiveViewObserverIdentifiers_;
  // Main thread: numbers the loads, so a late time-out of an earlier load does nothing.
  std::uint64_t load_ = 0;
};
