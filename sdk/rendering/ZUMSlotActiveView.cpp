#include "sdk/rendering/ZUMSlotActiveView.h"

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/rendering/ZUMActiveViewWebView.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlot.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr std::uint64_t kMediationResponse = 2;

}  // namespace

std::shared_ptr<ZUMSlotActiveView> ZUMSlotActiveView::forSlot(ZUMSlot& slot) {
  platform::assertMainThread();
  if (auto existing = slot.activeView()) return existing;
  std::shared_ptr<ZUMSlotActiveView> made(new ZUMSlotActiveView(slot.shared_from_this()));
  made->monitoredView_ = slot.adView();
  made->observeApplication();
  slot.setActiveView(made);
  return made;
}

ZUMSlotActiveView::ZUMSlotActiveView(const std::shared_ptr<ZUMSlot>& slot) : slot_(slot) {}

ZUMSlotActiveView::~ZUMSlotActiveView() {
  auto& center = platform::NotificationCenter::defaultCenter();
  for (const auto& token : observers_) center.removeObserver(token);
  if (monitor_) monitor_->stopMonitoring();
  if (webView_) {
    webView_->removeActiveViewObserverForActiveViewID(activeViewID_);
    if (auto controller = ZUMSDKCoreController::sharedInstance()) {
      controller->finishedUsingSDKCoreWebViewForActiveViewProcessing(webView_);
    }
  }
}

void ZUMSlotActiveView::observeApplication() {
  // Leaving and coming back to the foreground is measured at once.
  auto sample = [weak = weak_from_this()](const platform::Notification&) {
    auto self = weak.lock();
    if (self && self->monitor_) self->monitor_->sample();
  };
  auto& center = platform::NotificationCenter::defaultCenter();
  observers_.push_back(
      center.addObserver(platform::kApplicationWillResignActiveNotification, nullptr, nullptr, sample));
  observers_.push_back(center.addObserver(platform::kApplicationDidBecomeActiveNotification, nullptr, nullptr, sample));
}

bool ZUMSlotActiveView::isMRAIDEnabled() const {
  auto slot = slot_.lock();
  return slot && ZUMSlotEventHandler::forSlot(*slot)->isMRAIDEnabled();
}

std::string ZUMSlotActiveView::adFormat() const {
  auto slot = slot_.lock();
  return slot && slot->adType() && slot->adType()->isInterstitial() ? "interstitial_mb" : "banner_mb";
}

bool ZUMSlotActiveView::canEnableActiveViewMonitoring() const {
  auto slot = slot_.lock();
  auto ad = slot ? slot->ad() : nullptr;
  if (!slot || (ad && ad->responseType() == kMediationResponse) || !slot->viewHasMadeImpression()) return false;
  if ((ad && ad->activeViewConfigurations()) || isMRAIDEnabled()) return true;
  return (receivers_ & kCreativeReceiver) != 0;
}

void ZUMSlotActiveView::startActiveViewReportingIfEnabled() {
  if (canEnableActiveViewMonitoring()) startActiveViewReporting();
}

void ZUMSlotActiveView::startActiveViewReporting() {
  auto slot = slot_.lock();
  if (!slot) return;
  auto ad = slot->ad();
  if ((ad && ad->activeViewConfigurations()) || isMRAIDEnabled()) receivers_ |= kSDKCoreReceiver;
  if (!monitor_) createActiveViewMonitor();
  if (!webView_) {
    auto controller = ZUMSDKCoreController::sharedInstance();
    activeViewID_ = ZUMApplication::sharedInstance()->nextActiveViewID();
    webView_ = controller ? controller->SDKCoreWebViewForActiveViewProcessing() : nullptr;
    if (webView_) webView_->setActiveViewObserver(shared_from_this(), activeViewID_);
  }
  if (!monitor_) return;
  monitor_->sample();
  auto view = monitoredView_.lock();
  if (view && view->window()) monitor_->startMonitoring();
}

void ZUMSlotActiveView::createActiveViewMonitor() {
  auto slot = slot_.lock();
  auto ad = slot ? slot->ad() : nullptr;
  monitor_ = ZUMActiveViewMonitor::create(monitoredView_.lock(), adFormat(),
                                          ad ? ad->activeViewConfigurations() : std::nullopt);
  if (monitor_) monitor_->setDelegate(shared_from_this());
}

std::optional<std::string> ZUMSlotActiveView::activeViewJSCommandWithParams(const std::optional<Json>& params) {
  if (!params) return std::nullopt;
  auto text = zum_JSONStringPretty(*params, true, nullptr);
  if (!text) return std::nullopt;
  return "QYRA_updateActiveView(" + ZUMScriptSafeJSON(*text) + ")";
}

void ZUMSlotActiveView::sendState(ZUMActiveViewMonitor& monitor, bool unloaded) {
  const auto command =
      activeViewJSCommandWithParams(monitor.activeViewStateWithID(activeViewID_, isMRAIDEnabled(), unloaded));
  if (!command) return;
  // The measured view is the ad view, still known while an invalidation ends reporting.
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(monitoredView_.lock());
  if ((receivers_ & kCreativeReceiver) && adView) adView->executeJavaScriptAsynchronouslyFromString(*command);
  if ((receivers_ & kSDKCoreReceiver) && webView_) webView_->enqueueJavaScriptCommand(*command);
}

void ZUMSlotActiveView::activeViewMonitorDidRefresh(ZUMActiveViewMonitor& monitor) {
  if (&monitor != monitor_.get()) return;
  sendState(monitor, false);
  auto slot = slot_.lock();
  auto view = monitor.monitoredView();
  if (slot && view) {
    if (auto events = slot->MRAIDEventHandler()) events->updatePositionFromView(*view);
  }
}

void ZUMSlotActiveView::unloadActiveViewMonitor() {
  auto monitor = std::exchange(monitor_, nullptr);
  if (!monitor) return;
  sendState(*monitor, true);
  monitor->setDelegate(nullptr);
  monitor->stopMonitoring();
}

void ZUMSlotActiveView::finishActiveViewReporting() {
  auto keepAlive = shared_from_this();  // a receiver's stop may come from our own calls
  unloadActiveViewMonitor();
  auto webView = std::exchange(webView_, nullptr);
  if (!webView) return;
  webView->removeActiveViewObserverForActiveViewID(activeViewID_);
  if (auto controller = ZUMSDKCoreController::sharedInstance()) {
    controller->finishedUsingSDKCoreWebViewForActiveViewProcessing(webView);
  }
}

bool ZUMSlotActiveView::activeViewMonitoringStarted(std::uint64_t receiver) {
  if (receiver != kSDKCoreReceiver && receiver != kCreativeReceiver) return false;
  receivers_ |= receiver;
  startActiveViewReportingIfEnabled();
  return true;
}

void ZUMSlotActiveView::activeViewMonitoringDidStop(std::uint64_t receiver) {
  if (receiver != kSDKCoreReceiver && receiver != kCreativeReceiver) return;
  receivers_ &= ~receiver;
  if (receivers_ == 0) finishActiveViewReporting();
}

void ZUMSlotActiveView::activeViewVisibilityChanged(bool visible) {
  auto slot = slot_.lock();
  if (!slot) return;
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView())) adView->setVisible(visible);
  if (isMRAIDEnabled()) slot->setMonitoredViewVisible(visible);
  if (slot->intermission()) return;
  if (auto events = slot->MRAIDEventHandler()) events->updateVisibility(visible);
}

void ZUMSlotActiveView::ownerViewDidMoveToWindow(const std::shared_ptr<platform::Window>& window) {
  if (window) {
    if (monitor_) monitor_->startMonitoring();
    return;
  }
  interstitialViewWillDisappear();
  if (auto slot = slot_.lock()) {
    platform::NotificationCenter::defaultCenter().post(kZUMSlotDidLeaveWindowNotification, slot);
  }
}

void ZUMSlotActiveView::interstitialViewWillAppear() {
  if (monitor_) monitor_->startMonitoring();
}

void ZUMSlotActiveView::interstitialViewWillDisappear() {
  if (!monitor_) return;
  monitor_->sample();
  monitor_->stopMonitoring();
}

void ZUMSlotActiveView::slotWillInvalidate() {
  finishActiveViewReporting();
  monitoredView_.reset();
}

void ZUMSlotActiveView::startImpressionMonitoring() {
  auto slot = slot_.lock();
  if (!slot || (slot->adType() && slot->adType()->isInterstitial())) return;
  if (auto old = slot->impressionMonitor()) old->setDelegate(nullptr);
  auto ad = slot->ad();
  auto monitor = ZUMImpressionMonitor::create(slot->adView(), ad ? ad->impressionDefinition() : 0);
  monitor->setDelegate(shared_from_this());
  slot->setImpressionMonitor(monitor);
  monitor->startMonitoring();
}

void ZUMSlotActiveView::impressionMonitorDidMonitorImpression(ZUMImpressionMonitor& monitor) {
  auto slot = slot_.lock();
  if (!slot || slot->impressionMonitor().get() != &monitor) return;
  auto keep = slot->impressionMonitor();
  ZUMSlotEventHandler::forSlot(*slot)->didMakeAdImpression();
  monitor.setDelegate(nullptr);
  slot->setImpressionMonitor(nullptr);
}
