// The view that shows one HTML ad. It owns a web view of the engine its configuration
// names, loads the ad's HTML with the ad's base URL, runs scripts in the page on the
// main run loop (never inline), queues SDK events for the page until the page has
// loaded (at most 20 wait, in the order they were posted), keeps the page's idea of the
// interface orientation, records whether the user touched it, shows the page's script
// alerts, and reports the page's loading, navigations and content size to its delegate.
//
// While the ad view is in no window its web view is parked in the placeholder window;
// with the user default "/vantor/ads/ad_view_placeholder_window" true the ad view itself
// is parked there once, at creation, and nothing moves later.
//
// A page's load of "mraid.js" gets the hosted script for this ad view (interstitial,
// banner or expanded banner) when the MRAID interceptor redirects, with either engine.
// Its records with the ad URL stash and the interceptor end when it goes.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/ui/GestureRecognizerDelegate.h"
#include "platform/ui/InterfaceOrientation.h"
#include "platform/ui/View.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/rendering/ZUMPageMessageName.h"
#include "sdk/rendering/ZUMWebKitWebViewMRAIDDelegate.h"
#include "sdk/rendering/ZUMWebView.h"

namespace platform {
class AlertView;
class OperationQueue;
class ViewController;
}  // namespace platform

class ZUMAd;
class ZUMAdViewActiveViewReporter;
class ZUMAdViewVideoController;
class ZUMAdViewDelegateProtocol;
class ZUMFennickLogger;
class ZUMGestureRecognizer;
class ZUMOpener;
class ZUMResourceCache;
class ZUMRewardBasedVideoAdTOLMHandlerDelegate;
class ZUMSlotPlacement;
class ZUMVideoConfiguration;
class ZUMVideoPlayer;
class ZUMWiggleGestureRecognizer;

// The saved placement of an ad view (saveState() / restoreState()).
struct ZUMAdViewState {
  platform::Rect frame;
  std::shared_ptr<platform::View> superview;
  std::weak_ptr<ZUMAdViewDelegateProtocol> delegate;
  std::weak_ptr<platform::ViewController> viewController;
  std::uint32_t autoresizingMask = 0;
};

// At most this many SDK events wait for a page to load.
inline constexpr std::size_t kZUMAdViewMaxQueuedSDKEvents = 20;

class ZUMAdView final : public platform::View,
                        public ZUMWebViewDelegate,
                        public ZUMWebViewContentSizeDelegate,
                        public ZUMWebKitWebViewMRAIDDelegate,
                        public platform::GestureRecognizerDelegate,
                        public ZUMMRAIDInterceptor::AdView {
 public:
  static std::shared_ptr<ZUMAdView> create(const platform::Rect& frame, const ZUMWebViewConfiguration& configuration);
  // With a default configuration.
  static std::shared_ptr<ZUMAdView> create(const platform::Rect& frame = {});
  ~ZUMAdView() override;

  // Whether ad views park themselves (not only their web views) in the placeholder
  // window: the boolean of "/vantor/ads/ad_view_placeholder_window", false when absent.
  static bool usesPlaceholderWindow();

  // Bouncing off; the banner form also hides the ad view until its ad has loaded.
  void configureAsInterstitialAdView();
  void configureAsBannerAdView();
  bool isFluidAdView() const { return fluid_; }
  // A fluid ad view's height follows its content.
  void setIsFluidAdView(bool fluid) { fluid_ = fluid; }

  // --- Loading ------------------------------------------------------------------------
  // Shows an ad: its request history is told to the URL stash, then its HTML loads with
  // its base URL.
  void setAd(const std::shared_ptr<ZUMAd>& ad);
  const std::shared_ptr<ZUMAd>& ad() const { return ad_; }
  void loadHTMLString(const std::optional<std::string>& string, const std::optional<platform::URL>& baseURL);
  // Queued SDK events are cancelled.
  void loadRequest(const platform::URLRequest& request);
  void goBack();
  void goForward();
  void stopLoading();
  void reload();
  bool canGoBack() const;
  bool canGoForward() const;
  bool isLoading() const;
  std::optional<platform::URL> URL() const;
  std::shared_ptr<platform::ScrollView> scrollView() const;
  platform::Size contentSize() const;
  platform::Size intrinsicContentSize() const override;
  platform::Size sizeThatFits(platform::Size size) const override;
  // Sets the ad view and its web view; the background colour is the web view's alone.
  void setOpaque(bool opaque);
  void setBackgroundColor(std::optional<platform::Color> color);
  std::optional<platform::Color> backgroundColor() const;

  const std::shared_ptr<ZUMWebView>& webView() const { return webView_; }

  // --- Scripts and messages to the page -------------------------------------------------
  // Runs the script on a later turn of the main run loop: in the common modes unless
  // "/vantor/ads/js_should_run_in_default_run_loop_mode" is true; wrapped in a
  // setTimeout of "/vantor/ads/zums:js_async_delay_time" seconds when that is above 0.
  // Dropped when the web view has gone by then.
  void executeJavaScriptAsynchronouslyFromString(const std::string& script);
  // QYRA_ReceiveMessage(name[, payload]) now, loaded or not.
  void postJSNotification(ZUMPageMessageName name, const std::optional<nlohmann::ordered_json>& userInfo);
  // The message, with {"version", "device"} under the given parameters, once the page
  // has loaded. Dropped when 20 already wait for a loading page.
  void dispatchSDKEvent(ZUMPageMessageName name, const std::optional<nlohmann::ordered_json>& parameters);
  std::size_t queuedSDKEventCount() const;

  // --- Orientation ----------------------------------------------------------------------
  // Pushes an orientation (1 to 4, and only a change) into the page, with the page's
  // orientation event, or without it.
  void forceRotateHTMLToOrientation(platform::InterfaceOrientation orientation);
  void didRotateToOrientation(platform::InterfaceOrientation orientation);
  // The orientation last pushed (0 before the first).
  platform::InterfaceOrientation orientation() const { return orientation_; }

  // --- Placement and state ----------------------------------------------------------------
  // The slot's placement moved to the ad view (nullptr: none any more).
  void didMoveToPlacement(const std::shared_ptr<ZUMSlotPlacement>& placement);
  bool attachedToPlacement() const { return attachedToPlacement_; }
  bool visible() const { return visible_; }
  // Also lets the video side adjust playback to it.
  void setVisible(bool visible);
  // Records the placement once; a second save keeps the first record.
  void saveState();
  // Puts the ad view back where it was saved; nothing without a saved state.
  void restoreState();
  const std::optional<ZUMAdViewState>& savedState() const { return savedState_; }
  // Ready to be hosted full screen: follows its superview's size, see-through, the page
  // clipped and scrollable, no scroll-to-top.
  void reset();

  // The opener of the delegate when the delegate is a ZUMAdViewDelegate.
  std::shared_ptr<ZUMOpener> opener() const;
  // An alert that asks the user about this ad view (a click's confirmation), held
  // weakly: when the ad view goes, those still up are dismissed as cancelled.
  void addAlert(const std::shared_ptr<platform::AlertView>& alert);

  std::shared_ptr<ZUMAdViewDelegateProtocol> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMAdViewDelegateProtocol>& delegate) { delegate_ = delegate; }
  std::shared_ptr<platform::ViewController> viewController() const { return viewController_.lock(); }
  void setViewController(const std::shared_ptr<platform::ViewController>& controller) { viewController_ = controller; }
  // Hears the page's rewarded-video messages (held weakly).
  std::shared_ptr<ZUMRewardBasedVideoAdTOLMHandlerDelegate> rewardBasedVideoAdTOLMHandlerDelegate() const {
    return rewardBasedVideoAdTOLMHandlerDelegate_.lock();
  }
  void setRewardBasedVideoAdTOLMHandlerDelegate(const std::shared_ptr<ZUMRewardBasedVideoAdTOLMHandlerDelegate>& d) {
    rewardBasedVideoAdTOLMHandlerDelegate_ = d;
  }

  // The event logger of the ad view's tree, taken (held strongly) each time an ad's HTML
  // starts to load; nullptr without one.
  const std::shared_ptr<ZUMFennickLogger>& logger() const { return logger_; }
  void setLogger(std::shared_ptr<ZUMFennickLogger> logger) { logger_ = std::move(logger); }

  // Whether the user touched the ad view (set by the touch recorder; the slot clears it
  // when an ad's page has loaded).
  bool touched() const { return touched_; }
  void setTouched(bool touched) { touched_ = touched; }
  bool hasLoadedAtLeastOnce() const { return hasLoadedAtLeastOnce_; }
  bool showDebug() const { return showDebug_; }
  void setShowDebug(bool show) { showDebug_ = show; }
  const std::string& adDebugDialogString() const { return adDebugDialogString_; }
  void setAdDebugDialogString(std::string string) { adDebugDialogString_ = std::move(string); }
  platform::Size adResponseSize() const { return adResponseSize_; }
  void setAdResponseSize(platform::Size size) { adResponseSize_ = size; }
  ZUMAdViewActiveViewReporter& activeViewReporter() const { return *activeViewReporter_; }
  const std::shared_ptr<ZUMGestureRecognizer>& touchGestureRecognizer() const { return touchGestureRecognizer_; }
  // A recognized wiggle opens the debug dialog while showDebug() (ZUMAdViewPresentation).
  const std::shared_ptr<ZUMWiggleGestureRecognizer>& debugGestureRecognizer() const { return debugGestureRecognizer_; }
  void handleGesture(platform::GestureRecognizer& recognizer);
  // The ad view's key in the ad URL stash.
  ZUMAdViewKey stashKey() const { return stashKey_; }

  // --- Video --------------------------------------------------------------------------------
  // The state of a video the page plays itself; made with the ad view.
  const std::shared_ptr<ZUMAdViewVideoController>& videoController() const { return videoController_; }
  // The ad view's one native player (made by the video side on first use) and the view
  // that shows it, if any (a ZUMVideoRendering). Both go with the ad view.
  const std::shared_ptr<ZUMVideoPlayer>& videoPlayer() const { return videoPlayer_; }
  void setVideoPlayer(std::shared_ptr<ZUMVideoPlayer> player) { videoPlayer_ = std::move(player); }
  const std::shared_ptr<platform::View>& videoPlayerView() const { return videoPlayerView_; }
  void setVideoPlayerView(std::shared_ptr<platform::View> view) { videoPlayerView_ = std::move(view); }
  // Where layout puts the player view; none (the page sent no frame, or zero) means the
  // bounds.
  const std::optional<platform::Rect>& cachedVideoPlayerFrame() const { return cachedVideoPlayerFrame_; }
  void setCachedVideoPlayerFrame(const std::optional<platform::Rect>& frame) { cachedVideoPlayerFrame_ = frame; }
  // The page asked for 360-degree video.
  bool isSpherical() const { return spherical_; }
  void setSpherical(bool spherical) { spherical_ = spherical; }
  // The video side's operations (ZUMAdViewVideo); nothing happens without one.
  void setUpVideoPlayerWithURL(const std::optional<platform::URL>& url,
                               const std::shared_ptr<ZUMResourceCache>& resourceCache,
                               const std::shared_ptr<ZUMVideoConfiguration>& configuration);
  void hideVideo();
  void showVideo();
  void rotateVideoToDegrees(double degrees);
  void setVideoPlayerFrame(const std::optional<platform::Rect>& frame);
  void optimizeVideoPlayback();
  void pauseVideo();

  // --- Web view callbacks -----------------------------------------------------------------
  bool webViewShouldStartLoadWithRequest(ZUMWebView& webView, const platform::URLRequest& request,
                                         platform::WebViewNavigationType navigationType) override;
  void webViewDidStartLoad(ZUMWebView& webView) override;
  void webViewDidFinishLoad(ZUMWebView& webView) override;
  void webViewDidFailLoadWithError(ZUMWebView& webView, const platform::ErrorPtr& error) override;
  // An alert while the opener allows open actions and a view controller is on screen;
  // otherwise the page's completion runs on a later turn of the main queue.
  void webViewRunJavaScriptAlertPanelWithTitle(ZUMWebView& webView, const std::string& title,
                                               const std::string& message,
                                               std::function<void()> completionHandler) override;
  void webViewDidChangeScrollViewContentSize(ZUMWebView& webView, platform::Size size) override;
  // The MRAID interceptor's script for this ad view while it redirects; else none.
  std::optional<std::string> MRAIDJavaScriptURLStringForWebView(ZUMWebView& webView) override;

  // --- ZUMMRAIDInterceptor::AdView --------------------------------------------------------
  bool isInterstitialAdType() const override;
  bool isMainAdView() const override;

  // --- Gestures and layout ----------------------------------------------------------------
  bool gestureRecognizerShouldReceiveTouch(platform::GestureRecognizer& recognizer,
                                           const platform::Touch& touch) override;
  bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(platform::GestureRecognizer& recognizer,
                                                                           platform::GestureRecognizer& other) override;
  void layoutSubviews() override;
  void willMoveToWindow(const std::shared_ptr<platform::Window>& newWindow) override;
  // Sets the web view's frame to the bounds: after "/vantor/ads/wv_content_size_delay"
  // seconds (0.02 when unset) for a fluid ad view whose engine sizes its content late,
  // else at once.
  void updateWebViewFrame();
  // What layout gives the video views: the page's frame clipped to the bounds (none stays
  // none: the bounds); a frame with nothing inside becomes an empty frame at the page's
  // origin.
  std::optional<platform::Rect> videoPlayerFrameInBounds() const;

 private:
  explicit ZUMAdView(const platform::Rect& frame);
  void setUp(const ZUMWebViewConfiguration& configuration);
  std::shared_ptr<ZUMAdView> self();
  // Tells the MRAID interceptor which hosted script this page's "mraid.js" loads get.
  void chooseMRAIDScript();
  void willLoadHTML();
  void reportRequestsForAd(const ZUMAd& ad);
  void setHTMLWindowOrientation(platform::InterfaceOrientation orientation, bool dispatchEvent);

  const ZUMAdViewKey stashKey_;
  std::shared_ptr<ZUMWebView> webView_;
  std::shared_ptr<ZUMAd> ad_;
  std::shared_ptr<ZUMFennickLogger> logger_;
  std::weak_ptr<ZUMAdViewDelegateProtocol> delegate_;
  std::weak_ptr<platform::ViewController> viewController_;
  std::weak_ptr<ZUMRewardBasedVideoAdTOLMHandlerDelegate> rewardBasedVideoAdTOLMHandlerDelegate_;
  std::optional<ZUMAdViewState> savedState_;
  std::shared_ptr<platform::OperationQueue> eventQueue_;
  std::vector<std::weak_ptr<platform::AlertView>> alerts_;
  std::shared_ptr<ZUMGestureRecognizer> touchGestureRecognizer_;
  std::shared_ptr<ZUMWiggleGestureRecognizer> debugGestureRecognizer_;
  std::unique_ptr<ZUMAdViewActiveViewReporter> activeViewReporter_;
  std::shared_ptr<ZUMAdViewVideoController> videoController_;
  std::shared_ptr<ZUMVideoPlayer> videoPlayer_;
  std::shared_ptr<platform::View> videoPlayerView_;
  std::optional<platform::Rect> cachedVideoPlayerFrame_;
  std::string adDebugDialogString_;
  platform::InterfaceOrientation orientation_ = 0;
  platform::Size adResponseSize_;
  bool usesPlaceholderWindow_ = false;
  bool reportedStartLoadEarly_ = false;
  bool fluid_ = false;
  bool touched_ = false;
  bool showDebug_ = false;
  bool hasLoadedAtLeastOnce_ = false;
  bool attachedToPlacement_ = false;
  bool visible_ = false;
  bool spherical_ = false;
};
