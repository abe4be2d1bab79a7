#include "sdk/rendering/ZUMAdView.h"

#include <algorithm>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/JSONObjectIndex.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/ui/AlertAction.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Color.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMNetwork.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/rendering/ZUMAdViewActiveViewReporter.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMAdViewLogging.h"
#include "sdk/rendering/ZUMAdViewPresentation.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "sdk/rendering/ZUMJavaScriptMessageString.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMWebKitWebView.h"
#include "sdk/rendering/ZUMWiggleGestureRecognizer.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using nlohmann::ordered_json;

// Schedules the script on the main run loop; it runs only while the web view lives.
void scheduleScript(std::weak_ptr<ZUMWebView> webView, std::string script) {
  const bool defaultMode =
      ZUMUserDefaults::boolForKey("/vantor/ads/js_should_run_in_default_run_loop_mode").value_or(false);
  const double delay = ZUMUserDefaults::doubleForKey("/vantor/ads/zums:js_async_delay_time").value_or(0);
  if (delay > 0) {
    // A day is far beyond any page's life; the cap keeps the conversion defined.
    const auto milliseconds = static_cast<unsigned long long>(std::min(delay, 86400.0) * 1000);
    script = "setTimeout(function(){" + script + "}, " + std::to_string(milliseconds) + ");";
  }
  const std::string mode(defaultMode ? platform::kDefaultRunLoopMode : platform::kCommonRunLoopModes);
  platform::RunLoop::main().perform({mode}, [webView = std::move(webView), script = std::move(script)] {
    if (auto view = webView.lock()) view->evaluateJavaScriptFromString(script);
  });
}

int angleForOrientation(platform::InterfaceOrientation orientation) {
  switch (orientation) {
    case platform::kInterfaceOrientationPortraitUpsideDown:
      return 180;
    case platform::kInterfaceOrientationLandscapeRight:
      return 90;
    case platform::kInterfaceOrientationLandscapeLeft:
      return -90;
    default:
      return 0;
  }
}

platform::HTTPHeaderFields headerFieldsFromJSON(const std::optional<ordered_json>& headers) {
  platform::HTTPHeaderFields fields;
  if (!headers || !headers->is_object()) return fields;
  for (const auto& [name, value] : headers->items()) {
    if (value.is_string())
      fields.set(name, value.get<std::string>());
    else if (value.is_number() || value.is_boolean())
      fields.set(name, value.dump());
  }
  return fields;
}

}  // namespace

std::shared_ptr<ZUMAdView> ZUMAdView::create(const platform::Rect& frame,
                                             const ZUMWebViewConfiguration& configuration) {
  std::shared_ptr<ZUMAdView> adView(new ZUMAdView(frame));
  adView->setUp(configuration);
  if (!adView->webView_) return nullptr;
  return adView;
}

std::shared_ptr<ZUMAdView> ZUMAdView::create(const platform::Rect& frame) {
  return create(frame, ZUMWebViewConfiguration());
}

ZUMAdView::ZUMAdView(const platform::Rect& frame) : platform::View(frame), stashKey_(ZUMAdURLStash::newAdViewKey()) {}

bool ZUMAdView::usesPlaceholderWindow() {
  return ZUMUserDefaults::boolForKey("/vantor/ads/ad_view_placeholder_window").value_or(false);
}

std::shared_ptr<ZUMAdView> ZUMAdView::self() { return std::static_pointer_cast<ZUMAdView>(shared_from_this()); }

void ZUMAdView::setUp(const ZUMWebViewConfiguration& configuration) {
  auto scrollView = platform::ScrollView::create();
  scrollView->setScrollsToTop(false);
  addSubview(scrollView);

  touchGestureRecognizer_ = ZUMGestureRecognizer::create();
  touchGestureRecognizer_->setDelegate(self());
  addGestureRecognizer(touchGestureRecognizer_);
  debugGestureRecognizer_ = ZUMWiggleGestureRecognizer::create();
  debugGestureRecognizer_->setDelegate(self());
  debugGestureRecognizer_->addTarget(self(), &ZUMAdView::handleGesture);
  addGestureRecognizer(debugGestureRecognizer_);

  activeViewReporter_ = std::make_unique<ZUMAdViewActiveViewReporter>();
  showDebug_ = true;

  webView_ = ZUMWebViewClassForConfiguration(configuration)(frame(), configuration);
  if (!webView_) return;
  if (auto webKit = std::dynamic_pointer_cast<ZUMWebKitWebView>(webView_)) webKit->setMRAIDDelegate(self());
  webView_->setDelegate(self());
  webView_->setContentSizeDelegate(self());
  if (auto scroll = webView_->scrollView()) scroll->setBounces(true);

  eventQueue_ = platform::OperationQueue::create("com.vantor.morvane.ad-view-events");
  eventQueue_->setMaxConcurrentOperationCount(1);  // events reach the page in the order posted
  eventQueue_->setSuspended(true);

  webView_->setClipsToBounds(true);
  setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  setOpaque(false);
  setBackgroundColor(platform::Color::clear());
  if (auto scroll = webView_->scrollView()) {
    scroll->setScrollEnabled(true);
    scroll->setScrollsToTop(false);
  }

  usesPlaceholderWindow_ = usesPlaceholderWindow();
  auto placeholder = ZUMApplication::sharedInstance()->placeholderWindow();
  if (usesPlaceholderWindow_) {
    if (placeholder) placeholder->addSubview(shared_from_this());
    addSubview(webView_);
  } else if (placeholder) {
    placeholder->addSubview(webView_);
  }
  videoController_ = ZUMAdViewVideoController::create(self());
  visible_ = true;
}

ZUMAdView::~ZUMAdView() {
  if (webView_) {
    webView_->removeFromSuperview();
    webView_->setDelegate(nullptr);
    webView_->setContentSizeDelegate(nullptr);
    ZUMMRAIDInterceptor::sharedInstance()->setMRAIDURLStringForPage(webView_->pageIdentifier(), std::nullopt);
  }
  ZUMAdURLStash::sharedInstance()->removeAdView(stashKey_);
  if (eventQueue_) eventQueue_->cancelAllOperations();
  // Nothing is left to answer for: their delegates hear the dismissal as for any alert.
  for (const auto& weak : alerts_) {
    if (auto alert = weak.lock()) alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex(), false);
  }
}

void ZUMAdView::configureAsInterstitialAdView() {
  if (auto scroll = webView_->scrollView()) scroll->setBounces(false);
}

void ZUMAdView::configureAsBannerAdView() {
  configureAsInterstitialAdView();
  setHidden(true);
}

// --- Loading ----------------------------------------------------------------------------

void ZUMAdView::chooseMRAIDScript() {
  auto interceptor = ZUMMRAIDInterceptor::sharedInstance();
  // Settings given just before this load count for it (the web view asks next).
  interceptor->waitForPendingSettings();
  interceptor->setMRAIDURLStringForPage(webView_->pageIdentifier(), interceptor->MRAIDURLStringForAdView(*this));
}

void ZUMAdView::willLoadHTML() {
  if (videoController_) videoController_->setHasVideoContent(false);
  chooseMRAIDScript();
  setBackgroundColor(platform::Color::clear());
  platform::View::setBackgroundColor(platform::Color::clear());
  eventQueue_->cancelAllOperations();
  eventQueue_->setSuspended(true);
  ZUMAdURLStash::sharedInstance()->adViewWillLoadRootContent(stashKey_);
  // Rendering starts: log through the tree's current logger.
  if (auto logging = ZUMAdViewLogging::shared()) logger_ = logging->loggerForAdView(self());
}

void ZUMAdView::setAd(const std::shared_ptr<ZUMAd>& ad) {
  platform::assertMainThread();
  willLoadHTML();
  ad_ = ad;
  reportedStartLoadEarly_ = true;
  ZUMAdURLStash::sharedInstance()->adViewDidStartLoad(stashKey_);
  if (!ad) return;
  reportRequestsForAd(*ad);
  webView_->loadHTMLString(ad->adHTML(), ad->adBaseURL());
}

void ZUMAdView::reportRequestsForAd(const ZUMAd& ad) {
  auto stash = ZUMAdURLStash::sharedInstance();
  platform::URLRequest request;
  if (ad.originalRequest()) {
    request = *ad.originalRequest();
  } else {
    if (ad.adURL()) request = platform::URLRequest(*ad.adURL());
    request.setValue("no original request available", "x-qyra-annotation-missing-request");
  }
  request.setMainDocumentURL(ad.adBaseURL());
  stash->adViewWillLoadURLRequest(stashKey_, request);
  for (const auto& redirect : ad.redirects()) {
    if (!redirect) continue;
    stash->adViewRequestWillReceiveResponse(stashKey_, request, redirect->response());
    request = redirect->request();
    request.setMainDocumentURL(ad.adBaseURL());
    stash->adViewWillLoadURLRequest(stashKey_, request);
  }
  if (ad.adBaseURL()) {
    stash->adViewRequestWillReceiveResponse(
        stashKey_, request,
        platform::HTTPURLResponse(*ad.adBaseURL(), 200, headerFieldsFromJSON(ad.responseHeaders())));
  }
  if (ad.adHTML()) stash->adViewRequestDidReceiveData(stashKey_, request, *ad.adHTML());
}

void ZUMAdView::loadHTMLString(const std::optional<std::string>& string, const std::optional<platform::URL>& baseURL) {
  platform::assertMainThread();
  willLoadHTML();
  webView_->loadHTMLString(string, baseURL);
}

void ZUMAdView::loadRequest(const platform::URLRequest& request) {
  platform::assertMainThread();
  chooseMRAIDScript();
  eventQueue_->cancelAllOperations();
  eventQueue_->setSuspended(true);
  webView_->loadRequest(request);
}

void ZUMAdView::goBack() { webView_->goBack(); }
void ZUMAdView::goForward() { webView_->goForward(); }
void ZUMAdView::stopLoading() { webView_->stopLoading(); }
void ZUMAdView::reload() { webView_->reload(); }
bool ZUMAdView::canGoBack() const { return webView_->canGoBack(); }
bool ZUMAdView::canGoForward() const { return webView_->canGoForward(); }
bool ZUMAdView::isLoading() const { return webView_->isLoading(); }
std::optional<platform::URL> ZUMAdView::URL() const { return webView_->URL(); }
std::shared_ptr<platform::ScrollView> ZUMAdView::scrollView() const { return webView_->scrollView(); }
platform::Size ZUMAdView::contentSize() const {
  auto scroll = webView_->scrollView();
  return scroll ? scroll->contentSize() : platform::Size{};
}
platform::Size ZUMAdView::intrinsicContentSize() const { return webView_->intrinsicContentSize(); }
platform::Size ZUMAdView::sizeThatFits(platform::Size size) const { return webView_->sizeThatFits(size); }
void ZUMAdView::setOpaque(bool opaque) {
  platform::View::setOpaque(opaque);
  webView_->setOpaque(opaque);
}
void ZUMAdView::setBackgroundColor(std::optional<platform::Color> color) { webView_->setBackgroundColor(color); }
std::optional<platform::Color> ZUMAdView::backgroundColor() const { return webView_->backgroundColor(); }

// --- Scripts and messages -----------------------------------------------------------------

void ZUMAdView::executeJavaScriptAsynchronouslyFromString(const std::string& script) {
  platform::assertMainThread();
  scheduleScript(webView_, script);
}

void ZUMAdView::postJSNotification(ZUMPageMessageName name, const std::optional<ordered_json>& userInfo) {
  executeJavaScriptAsynchronouslyFromString(userInfo ? ZUMJavaScriptMessageString(name, *userInfo)
                                                     : ZUMJavaScriptMessageString(name));
}

void ZUMAdView::dispatchSDKEvent(ZUMPageMessageName name, const std::optional<ordered_json>& parameters) {
  platform::assertMainThread();
  ordered_json payload{{"version", ZUMRequest::sdkVersion()},
                       {"device", ZUMDevice::sharedInstance()->deviceSubmodel()}};
  if (parameters && parameters->is_object()) platform::assignMembers(payload, *parameters);
  if (eventQueue_->isSuspended() && eventQueue_->operationCount() >= kZUMAdViewMaxQueuedSDKEvents) return;
  // The text is made now; the operation only schedules it, so the ad view is never
  // touched off the main thread.
  eventQueue_->addOperation(
      [webView = std::weak_ptr<ZUMWebView>(webView_), script = ZUMJavaScriptMessageString(name, payload)]() mutable {
        scheduleScript(std::move(webView), std::move(script));
      });
}

std::size_t ZUMAdView::queuedSDKEventCount() const { return eventQueue_->operationCount(); }

// --- Orientation ------------------------------------------------------------------------------

void ZUMAdView::forceRotateHTMLToOrientation(platform::InterfaceOrientation orientation) {
  setHTMLWindowOrientation(orientation, true);
}

void ZUMAdView::didRotateToOrientation(platform::InterfaceOrientation orientation) {
  setHTMLWindowOrientation(orientation, false);
}

void ZUMAdView::setHTMLWindowOrientation(platform::InterfaceOrientation orientation, bool dispatchEvent) {
  if (!platform::isValidInterfaceOrientation(orientation) || orientation == orientation_) return;
  orientation_ = orientation;
  std::string script = "window.__defineGetter__('orientation',function(){return " +
                       std::to_string(angleForOrientation(orientation)) + ";});";
  if (dispatchEvent) {
    script +=
        "(function(){var event = document.createEvent('Events');event.initEvent('orientationchange', true, "
        "false);window.dispatchEvent(event);})();";
  }
  executeJavaScriptAsynchronouslyFromString(script);
}

// --- Placement and state ------------------------------------------------------------------------

void ZUMAdView::didMoveToPlacement(const std::shared_ptr<ZUMSlotPlacement>& placement) {
  platform::assertMainThread();
  attachedToPlacement_ = placement != nullptr;
  if (auto delegate = delegate_.lock()) delegate->adViewDidMoveToPlacement(*this, placement);
}

void ZUMAdView::saveState() {
  if (savedState_) return;
  savedState_ = ZUMAdViewState{frame(), superview(), delegate_, viewController_, autoresizingMask()};
}

void ZUMAdView::restoreState() {
  if (!savedState_) return;
  auto state = std::move(*savedState_);
  savedState_.reset();
  auto keepAlive = shared_from_this();
  removeFromSuperview();
  setFrame(state.frame);
  if (state.superview) state.superview->addSubview(keepAlive);
  delegate_ = state.delegate;
  viewController_ = state.viewController;
  setAutoresizingMask(state.autoresizingMask);
}

void ZUMAdView::reset() {
  setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  setOpaque(false);
  setBackgroundColor(platform::Color::clear());
  webView_->setClipsToBounds(true);
  if (auto scroll = webView_->scrollView()) {
    scroll->setScrollEnabled(true);
    scroll->setScrollsToTop(false);
  }
}

std::shared_ptr<ZUMOpener> ZUMAdView::opener() const {
  auto delegate = std::dynamic_pointer_cast<ZUMAdViewDelegate>(delegate_.lock());
  return delegate ? delegate->opener() : nullptr;
}

void ZUMAdView::addAlert(const std::shared_ptr<platform::AlertView>& alert) {
  platform::assertMainThread();
  std::erase_if(alerts_, [](const auto& weak) {
    const auto shown = weak.lock();
    return !shown || !shown->isVisible();
  });
  alerts_.push_back(alert);
}

// --- Web view callbacks ---------------------------------------------------------------------

bool ZUMAdView::webViewShouldStartLoadWithRequest(ZUMWebView&, const platform::URLRequest& request,
                                                  platform::WebViewNavigationType navigationType) {
  if (auto userAgent = request.valueForHTTPHeaderField("User-Agent"))
    ZUMNetwork::sharedInstance()->setUserAgentString(*userAgent);
  auto delegate = delegate_.lock();
  if (!delegate) return true;
  return delegate->adViewShouldStartLoadWithRequest(*this, request, navigationType).value_or(true);
}

void ZUMAdView::webViewDidStartLoad(ZUMWebView&) {
  if (reportedStartLoadEarly_) {
    reportedStartLoadEarly_ = false;
  } else {
    ZUMAdURLStash::sharedInstance()->adViewDidStartLoad(stashKey_);
  }
  if (auto delegate = delegate_.lock()) delegate->adViewDidStartLoad(*this);
}

void ZUMAdView::webViewDidFinishLoad(ZUMWebView&) {
  ZUMAdURLStash::sharedInstance()->adViewDidFinishLoad(stashKey_);
  eventQueue_->setSuspended(false);
  hasLoadedAtLeastOnce_ = true;
  webView_->setFrame({0, 0, bounds().size.width, 1});
  updateWebViewFrame();
  if (auto delegate = delegate_.lock()) delegate->adViewDidFinishLoad(*this);
}

void ZUMAdView::webViewDidFailLoadWithError(ZUMWebView&, const platform::ErrorPtr& error) {
  ZUMAdURLStash::sharedInstance()->adViewDidFinishLoad(stashKey_);
  if (error && error->code() == platform::kURLErrorCancelled &&
      !ZUMUserDefaults::boolForKey("/vantor/ads/use_cancelled_url_error").value_or(false)) {
    return;
  }
  if (auto delegate = delegate_.lock()) delegate->adViewDidFailLoadWithError(*this, error);
}

void ZUMAdView::webViewRunJavaScriptAlertPanelWithTitle(ZUMWebView&, const std::string& title,
                                                        const std::string& message,
                                                        std::function<void()> completionHandler) {
  // Called at most once, whichever way the alert ends.
  auto completion = std::make_shared<std::function<void()>>(std::move(completionHandler));
  auto complete = [completion] {
    if (auto handler = std::exchange(*completion, nullptr)) handler();
  };
  auto opener = this->opener();
  auto controller = viewController();
  if (opener && opener->shouldPerformOpenAction() && controller && controller->isViewLoaded() &&
      controller->view()->window()) {
    auto alert = platform::AlertController::create(title, message, platform::AlertControllerStyle::Alert);
    alert->addAction(platform::AlertAction::create("OK", platform::AlertActionStyle::Default,
                                                   [complete](platform::AlertAction&) { complete(); }));
    controller->presentViewController(alert, true);
    if (alert->presentingViewController()) return;
  }
  // No alert on screen: the page must not wait for ever.
  platform::DispatchQueue::main()->async(complete);
}

void ZUMAdView::webViewDidChangeScrollViewContentSize(ZUMWebView&, platform::Size size) {
  if (auto delegate = delegate_.lock()) delegate->adViewContentSizeDidChange(*this, size);
}

std::optional<std::string> ZUMAdView::MRAIDJavaScriptURLStringForWebView(ZUMWebView&) {
  auto interceptor = ZUMMRAIDInterceptor::sharedInstance();
  if (!interceptor->canRedirect()) return std::nullopt;
  return interceptor->MRAIDURLStringForAdView(*this);
}

bool ZUMAdView::isInterstitialAdType() const {
  auto opener = this->opener();
  auto slot = opener ? opener->slot() : nullptr;
  auto adType = slot ? slot->adType() : nullptr;
  return adType && adType->isInterstitial();
}

bool ZUMAdView::isMainAdView() const {
  auto opener = this->opener();
  auto slot = opener ? opener->slot() : nullptr;
  return !slot || slot->adView().get() == this;
}

// --- Gestures and layout ------------------------------------------------------------------------

bool ZUMAdView::gestureRecognizerShouldReceiveTouch(platform::GestureRecognizer& recognizer, const platform::Touch&) {
  if (&recognizer == touchGestureRecognizer_.get()) touched_ = true;
  return true;
}

bool ZUMAdView::gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(platform::GestureRecognizer&,
                                                                                    platform::GestureRecognizer&) {
  return true;
}

void ZUMAdView::handleGesture(platform::GestureRecognizer& recognizer) {
  if (recognizer.state() != platform::GestureRecognizer::Recognized || !showDebug_) return;
  if (auto presentation = ZUMAdViewPresentation::shared()) presentation->presentDebugOptionsForAdView(*this);
}

void ZUMAdView::layoutSubviews() {
  platform::View::layoutSubviews();
  updateWebViewFrame();
  if (videoPlayerView_) setVideoPlayerFrame(videoPlayerFrameInBounds());
}

// Only what can be seen: the page's frame may reach far beyond the ad view, and the video
// views' drawables grow with their frames.
std::optional<platform::Rect> ZUMAdView::videoPlayerFrameInBounds() const {
  if (!cachedVideoPlayerFrame_) return std::nullopt;
  const auto& asked = *cachedVideoPlayerFrame_;
  const auto visible = asked.intersection(bounds());
  if (!visible.isEmpty()) return visible;
  return platform::Rect{asked.origin, platform::Size()};
}

void ZUMAdView::willMoveToWindow(const std::shared_ptr<platform::Window>& newWindow) {
  platform::View::willMoveToWindow(newWindow);
  if (usesPlaceholderWindow_ || !webView_) return;
  if (newWindow) {
    if (webView_->superview().get() != this) addSubview(webView_);
  } else if (auto placeholder = ZUMApplication::sharedInstance()->placeholderWindow()) {
    placeholder->addSubview(webView_);
  }
}

void ZUMAdView::updateWebViewFrame() {
  if (!webView_) return;
  const auto delay = ZUMUserDefaults::stringForKey("/vantor/ads/wv_content_size_delay");
  double seconds = 0.02;
  if (delay && !delay->empty())
    seconds = ZUMUserDefaults::doubleForKey("/vantor/ads/wv_content_size_delay").value_or(0);
  if (fluid_ && !webView_->contentSizeUpdatesSynchronously() && seconds >= 0) {
    std::weak_ptr<platform::View> weak = shared_from_this();
    platform::DispatchQueue::main()->after(std::min(seconds, 60.0), [weak] {
      auto self = std::static_pointer_cast<ZUMAdView>(weak.lock());
      if (self && self->webView_) self->webView_->setFrame(self->bounds());
    });
    return;
  }
  webView_->setFrame(bounds());
}
