#include "sdk/sdkcore/ZUMSDKCoreWebView.h"

#include <algorithm>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/base/URL.h"
#include "platform/net/URLRequest.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/rendering/ZUMActiveViewTOLMHandler.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewActiveViewMonitoring.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMCSITOLMHandler.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"

const char* const ZUMSDKCorePageURLString = "https://static.adnetwork.example/static/sdk/core/sdk-core-v40.html";

namespace {
// The page's load is timed as a part of the ad load.
constexpr const char* kLoadAction = "load_ad_ios";
constexpr const char* kPageLoadTiming = "jsf_ios";
}  // namespace

std::shared_ptr<ZUMSDKCoreWebView> ZUMSDKCoreWebView::create(
    const std::optional<ZUMWebViewConfiguration>& configuration) {
  platform::assertMainThread();
  auto webView = std::shared_ptr<ZUMSDKCoreWebView>(new ZUMSDKCoreWebView());
  webView->lockQueue_ = ZUMDispatchQueueCreate("com.vantor.morvane.sdk-core-web-view");
  webView->CSI_ = ZUMCSI::create();
  webView->adView_ = ZUMAdView::create({}, configuration.value_or(ZUMWebViewConfiguration()));
  webView->adView_->setDelegate(webView);
  auto plainDelegate = ZUMAdViewDelegate::create();
  for (const auto& handler : plainDelegate->TOLMHandlers()) {
    if (auto timings = std::dynamic_pointer_cast<ZUMCSITOLMHandler>(handler)) timings->setCSIDelegate(webView);
  }
  webView->adViewDelegate_ = plainDelegate;
  webView->setSDKCoreTOLMHandler(ZUMSDKCoreTOLMHandler::create());
  auto activeViewHandler = ZUMActiveViewTOLMHandler::create();
  activeViewHandler->setDelegate(webView);
  webView->activeViewHandler_ = activeViewHandler;
  return webView;
}

ZUMSDKCoreWebView::~ZUMSDKCoreWebView() {
  if (CSI_) CSI_->sendReport();
  if (!adView_) return;
  ZUMRunOnMainThread([adView = std::move(adView_)] {
    adView->setDelegate(nullptr);
    adView->removeFromSuperview();
  });
}

void ZUMSDKCoreWebView::setSDKCoreTOLMHandler(std::shared_ptr<ZUMSDKCoreTOLMHandler> handler) {
  handler_ = std::move(handler);
  if (handler_) handler_->setSDKCoreWebView(shared_from_this());
}

// --- Loading and observers --------------------------------------------------------------------

void ZUMSDKCoreWebView::refreshSDKCoreAndNotifyObserver(
    const std::shared_ptr<ZUMSDKCoreWebViewNotification>& observer) {
  willRefreshSDKCore();
  std::weak_ptr<ZUMSDKCoreWebView> weak = weak_from_this();
  platform::DispatchQueue::main()->async([weak, observer] {
    auto self = weak.lock();
    if (!self) return;
    const auto current = self->state();
    if (current != kLoadRequested && current != kLoading) {
      if (auto recorder = self->pageLoadRecorder()) recorder->startTimingVariableWithName(kPageLoadTiming);
      self->setState(kLoadRequested);
      const std::uint64_t load = ++self->load_;
      self->adView_->loadRequest(platform::URLRequest(*platform::URL::fromString(ZUMSDKCorePageURLString)));
      // A load that never ends would keep every observer (and every requester behind
      // them) waiting.
      platform::DispatchQueue::main()->after(kZUMSDKCorePageLoadTimeout,
                                             ZUMBindWeak(weak, &ZUMSDKCoreWebView::loadTimedOut, load));
    }
    self->addObserverForOneTimeNotification(observer);
  });
}

void ZUMSDKCoreWebView::willRefreshSDKCore() { CSI_->sendReport(); }

void ZUMSDKCoreWebView::loadTimedOut(std::uint64_t load) {
  const auto current = state();
  if (load != load_ || (current != kLoadRequested && current != kLoading)) return;
  if (auto recorder = pageLoadRecorder()) recorder->cancelTimingVariableWithName(kPageLoadTiming);
  setState(kFailed);
  adView_->stopLoading();
  notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
}

void ZUMSDKCoreWebView::addObserverForOneTimeNotification(
    const std::shared_ptr<ZUMSDKCoreWebViewNotification>& observer) {
  if (!observer) return;
  std::weak_ptr<ZUMSDKCoreWebView> weak = weak_from_this();
  lockQueue_->async([weak, observer] {
    auto self = weak.lock();
    if (!self) return;
    if (std::find(self->observers_.begin(), self->observers_.end(), observer) == self->observers_.end()) {
      self->observers_.push_back(observer);
    }
    if (self->state_ == kLoaded || self->state_ == kFailed)
      self->notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
  });
}

void ZUMSDKCoreWebView::removeObserver(const std::shared_ptr<ZUMSDKCoreWebViewNotification>& observer) {
  lockQueue_->sync([&] { std::erase(observers_, observer); });
}

std::size_t ZUMSDKCoreWebView::observerCount() const {
  return lockQueue_->syncResult([&] { return observers_.size(); });
}

void ZUMSDKCoreWebView::notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished() {
  std::weak_ptr<ZUMSDKCoreWebView> weak = weak_from_this();
  lockQueue_->async([weak] {
    auto self = weak.lock();
    if (!self || self->state_ == kLoadRequested || self->state_ == kLoading) return;
    for (auto& observer : std::exchange(self->observers_, {})) {
      platform::DispatchQueue::main()->async([weak, observer] {
        if (auto page = weak.lock()) observer->didFinishLoadingSDKCoreInSDKCoreWebView(*page);
      });
    }
  });
}

std::int64_t ZUMSDKCoreWebView::state() const {
  return lockQueue_->syncResult([&] { return state_; });
}

void ZUMSDKCoreWebView::setState(std::int64_t state) {
  std::weak_ptr<ZUMSDKCoreWebView> weak = weak_from_this();
  lockQueue_->async([weak, state] {
    if (auto self = weak.lock()) {
      self->state_ = state;
      if (state == kLoaded) self->hasSDKCoreLoadedAtLeastOnce_ = true;
    }
  });
}

bool ZUMSDKCoreWebView::hasSDKCoreLoadedAtLeastOnce() const {
  return lockQueue_->syncResult([&] { return hasSDKCoreLoadedAtLeastOnce_; });
}

// --- Script queue -------------------------------------------------------------------------------

void ZUMSDKCoreWebView::enqueueJavaScriptCommand(std::string command) {
  std::weak_ptr<ZUMSDKCoreWebView> weak = weak_from_this();
  lockQueue_->async([weak, command = std::move(command)]() mutable {
    auto self = weak.lock();
    if (!self || self->state_ == kFailed) return;
    if (self->pendingJSCommands_.size() >= kZUMSDKCoreMaxPendingCommands) self->pendingJSCommands_.pop_front();
    self->pendingJSCommands_.push_back(std::move(command));
    self->dispatchPendingJavaScriptCommands();
  });
}

void ZUMSDKCoreWebView::dispatchPendingJavaScriptCommands() {
  std::weak_ptr<ZUMSDKCoreWebView> weak = weak_from_this();
  lockQueue_->async([weak] {
    auto self = weak.lock();
    if (!self || self->state_ != kLoaded) return;
    for (auto& command : std::exchange(self->pendingJSCommands_, {})) {
      platform::DispatchQueue::main()->async([weak, command = std::move(command)] {
        if (auto page = weak.lock()) page->adView_->executeJavaScriptAsynchronouslyFromString(command);
      });
    }
  });
}

std::vector<std::string> ZUMSDKCoreWebView::pendingJavaScriptCommands() const {
  return lockQueue_->syncResult(
      [&] { return std::vector<std::string>(pendingJSCommands_.begin(), pendingJSCommands_.end()); });
}

std::size_t ZUMSDKCoreWebView::pendingJavaScriptCommandCount() const {
  return lockQueue_->syncResult([&] { return pendingJSCommands_.size(); });
}

// --- Active-view measurement ---------------------------------------------------------------------

namespace {
constexpr std::uint64_t kSDKCoreMeasurementReason = 1;
}  // namespace

void ZUMSDKCoreWebView::setActiveViewObserver(const std::shared_ptr<ZUMAdViewActiveViewMonitoring>& observer,
                                              std::uint64_t activeViewID) {
  std::weak_ptr<ZUMAdViewActiveViewMonitoring> weakObserver = observer;
  lockQueue_->async([self = shared_from_this(), weakObserver, activeViewID] {
    if (weakObserver.expired() || self->activeViewObservers_.contains(activeViewID)) return;
    self->activeViewObservers_[activeViewID] = weakObserver;
    self->runningActiveViewObserverIdentifiers_.insert(activeViewID);
  });
}

void ZUMSDKCoreWebView::removeActiveViewObserverForActiveViewID(std::uint64_t activeViewID) {
  lockQueue_->sync([&] { activeViewObservers_.erase(activeViewID); });
}

bool ZUMSDKCoreWebView::isActiveViewRunning() const {
  return lockQueue_->syncResult([&] { return !runningActiveViewObserverIdentifiers_.empty(); });
}

void ZUMSDKCoreWebView::clearAllActiveViewInstances() {
  std::map<std::uint64_t, std::weak_ptr<ZUMAdViewActiveViewMonitoring>> observers;
  lockQueue_->sync([&] {
    runningActiveViewObserverIdentifiers_.clear();
    observers = std::exchange(activeViewObservers_, {});
  });
  for (auto& entry : observers) {
    if (auto observer = entry.second.lock()) observer->activeViewMonitoringDidStop(kSDKCoreMeasurementReason);
  }
}

void ZUMSDKCoreWebView::activeViewDidReceiveVisibilityNotification(bool visible, std::uint64_t activeViewID) {
  std::weak_ptr<ZUMAdViewActiveViewMonitoring> observer;
  lockQueue_->sync([&] {
    if (auto found = activeViewObservers_.find(activeViewID); found != activeViewObservers_.end())
      observer = found->second;
  });
  platform::DispatchQueue::main()->async(
      ZUMBindWeak(observer, &ZUMAdViewActiveViewMonitoring::activeViewVisibilityChanged, visible));
}

void ZUMSDKCoreWebView::activeViewDidReceiveUntrackNotification(std::uint64_t activeViewID) {
  std::weak_ptr<ZUMAdViewActiveViewMonitoring> observer;
  lockQueue_->sync([&] {
    if (auto found = activeViewObservers_.find(activeViewID); found != activeViewObservers_.end())
      observer = found->second;
    activeViewObservers_.erase(activeViewID);
    runningActiveViewObserverIdentifiers_.erase(activeViewID);
  });
  platform::DispatchQueue::main()->async(
      ZUMBindWeak(observer, &ZUMAdViewActiveViewMonitoring::activeViewMonitoringDidStop, kSDKCoreMeasurementReason));
}

// --- Ad-view delegate ---------------------------------------------------------------------------

std::optional<bool> ZUMSDKCoreWebView::adViewShouldStartLoadWithRequest(
    ZUMAdView& adView, const platform::URLRequest& request, platform::WebViewNavigationType navigationType) {
  const auto current = state();
  if (current == kLoading) return false;
  if (request.url() && request.url()->absoluteString() == ZUMSDKCorePageURLString) {
    setState(kLoading);
    return true;
  }
  if (current == kLoaded && ZUMNotification::isNotificationURL(request.url())) {
    if (handler_ && handler_->handleRequest(request, adView_)) return false;
    if (activeViewHandler_ && activeViewHandler_->handleRequest(request, adView_)) return false;
    return adViewDelegate_ &&
           adViewDelegate_->adViewShouldStartLoadWithRequest(adView, request, navigationType).value_or(false);
  }
  return false;
}

void ZUMSDKCoreWebView::adViewDidFinishLoad(ZUMAdView& adView) {
  if (state() == kLoading) {
    if (auto recorder = pageLoadRecorder()) recorder->endTimingVariableWithName(kPageLoadTiming);
    setState(kLoaded);
  }
  if (adViewDelegate_) adViewDelegate_->adViewDidFinishLoad(adView);
  dispatchPendingJavaScriptCommands();
  notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
}

void ZUMSDKCoreWebView::adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) {
  const auto current = state();
  const auto failing = error ? error->userInfoString(platform::kErrorFailingURLStringKey) : std::nullopt;
  // While the page's own load is under way, a failure that names no address is the
  // page's too: a load that failed without saying where must not stay "loading".
  // A page whose content process ended is gone whenever that happens.
  if ((failing && *failing == ZUMSDKCorePageURLString) ||
      (!failing && (current == kLoadRequested || current == kLoading)) ||
      platform::isWebContentProcessTerminatedError(error)) {
    if (auto recorder = pageLoadRecorder()) recorder->cancelTimingVariableWithName(kPageLoadTiming);
    setState(kFailed);
  }
  if (adViewDelegate_) adViewDelegate_->adViewDidFailLoadWithError(adView, error);
  notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
}

std::shared_ptr<ZUMCSITimeRecorder> ZUMSDKCoreWebView::pageLoadRecorder() const {
  return CSI_->timeRecorderForAction(kLoadAction);
}
