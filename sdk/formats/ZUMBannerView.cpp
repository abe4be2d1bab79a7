#include "ZUMBannerView.h"

#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "ZUMVideoController.h"
#include "ZUMVideoOptions.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/Application.h"
#include "platform/ui/Coder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdConfiguration.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMAdExposureMonitor.h"
#include "sdk/telemetry/ZUMBufferedFennickLogger.h"

namespace {

void logPublicMessage(const std::string& message) { ZUMLogger::sharedInstance()->logPublicMessage(message); }

}  // namespace

// --- Creation and teardown ---------------------------------------------------------------------

ZUMBannerView::ZUMBannerView(const platform::Rect& frame) : platform::View(frame) {}

std::shared_ptr<ZUMBannerView> ZUMBannerView::create() { return create(platform::Rect::zero()); }

std::shared_ptr<ZUMBannerView> ZUMBannerView::create(const platform::Rect& frame) {
  return create(frame, ZUMAdSizeFromSize(frame.standardized().size));
}

std::shared_ptr<ZUMBannerView> ZUMBannerView::create(const ZUMAdSize& adSize) {
  return create(platform::Rect::zero(), adSize);
}

std::shared_ptr<ZUMBannerView> ZUMBannerView::create(const ZUMAdSize& adSize, platform::Point origin) {
  auto banner = create(adSize);
  banner->setFrame({origin, banner->frame().size});
  return banner;
}

std::shared_ptr<ZUMBannerView> ZUMBannerView::create(const platform::Rect& frame, const ZUMAdSize& adSize) {
  std::shared_ptr<ZUMBannerView> banner(new ZUMBannerView(frame));
  banner->commonInitWithAdSize(adSize);
  return banner;
}

std::shared_ptr<ZUMBannerView> ZUMBannerView::create(const platform::Coder& coder) {
  std::shared_ptr<ZUMBannerView> banner(new ZUMBannerView(platform::Rect::zero()));
  if (!banner->initWithCoder(coder)) return nullptr;
  banner->commonInitWithAdSize(ZUMAdSizeFromSize(banner->frame().size));
  return banner;
}

void ZUMBannerView::registerClass() {
  platform::Coder::registerViewClass("ZUMBannerView", [](const platform::Coder& coder) { return create(coder); });
}

std::shared_ptr<ZUMBannerView> ZUMBannerView::self() {
  return std::static_pointer_cast<ZUMBannerView>(shared_from_this());
}

void ZUMBannerView::commonInitWithAdSize(const ZUMAdSize& adSize) {
  platform::assertMainThread();
  bufferedLogger_ = ZUMBufferedFennickLogger::create();
  slot_ = ZUMSlot::create(bounds());
  slot_->setReloadable(true);
  auto me = self();
  slot_->setSlotDelegate(me);
  slot_->setAdEventDelegate(me);
  slot_->setAdLoadDelegate(me);
  slot_->setAdResponseDelegate(me);
  slot_->setAdKeyDelegate(me);
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView())) adView->configureAsBannerAdView();
  slot_->setPlacement(me);
  videoController_ = ZUMVideoController::create();
  setRootAdView(slot_->adView());
  setBackgroundColor(platform::Color::clear());
  setClipsToBounds(true);
  lockQueue_ = ZUMDispatchQueueCreate("com.vantor.morvane.banner-view");
  hasInitialized_ = true;
  bannerCreatedSlot(slot_);
  setAdSize(adSize, false);
}

ZUMBannerView::~ZUMBannerView() {
  if (adExposureMonitor_) adExposureMonitor_->finishMonitoring();
  if (slot_) {
    ZUMSlotActiveView::forSlot(*slot_)->finishActiveViewReporting();
    slot_->cancelPendingAndFutureActions();
  }
  stopLogging();
}

// --- Loading and configuration -------------------------------------------------------------------

void ZUMBannerView::loadRequest(const std::shared_ptr<ZUMRequest>& request) {
  platform::assertMainThread();
  bannerAdLoadStarted();
  auto copy = request ? request->copy() : nullptr;
  if (copy && adConfiguration_) copy->setAdConfigurationParameters(adConfiguration_->requestParameters());
  slot_->loadRequest(copy);
}

void ZUMBannerView::setAdOptions(const std::vector<std::shared_ptr<ZUMAdLoaderOptions>>& options) {
  platform::assertMainThread();
  adConfiguration_ = ZUMAdConfiguration::create(options);
}

void ZUMBannerView::setAdUnitID(std::string adUnitID) {
  platform::assertMainThread();
  adUnitID_ = std::move(adUnitID);
  if (!slot_) return;  // a fluid search banner shows its page without a slot
  slot_->setAdUnitID(adUnitID_);
  if (adExposureMonitor_) adExposureMonitor_->finishMonitoring();
  if (!isMediated_) adExposureMonitor_ = ZUMAdExposureMonitor::create(shared_from_this(), slot_->adUnitID());
  if (adExposureMonitor_) adExposureMonitor_->startMonitoring();
}

void ZUMBannerView::setAutoloadEnabled(bool enabled) {
  platform::assertMainThread();
  const bool turnedOn = enabled && !autoloadEnabled_;
  autoloadEnabled_ = enabled;
  if (!turnedOn) return;
  platform::DispatchQueue::main()->async([weak = std::weak_ptr<ZUMBannerView>(self())] {
    if (auto banner = weak.lock()) banner->loadRequest(nullptr);
  });
}

nlohmann::ordered_json ZUMBannerView::requestParametersForRequest(const std::shared_ptr<ZUMRequest>& request) {
  return slot_ ? slot_->requestParametersForRequest(request) : nlohmann::ordered_json::object();
}

void ZUMBannerView::setRootViewController(const std::shared_ptr<platform::ViewController>& controller) {
  platform::assertMainThread();
  if (controller == rootViewController_.lock()) return;
  rootViewController_ = controller;
  if (!slot_) return;
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView())) adView->setViewController(controller);
  if (auto inner = std::dynamic_pointer_cast<ZUMBannerView>(rootAdView_)) inner->setRootViewController(controller);
}

void ZUMBannerView::setRootAdView(const std::shared_ptr<platform::View>& view) {
  platform::assertMainThread();
  if (view == rootAdView_) return;
  if (rootAdView_) rootAdView_->removeFromSuperview();
  rootAdView_ = view;
  if (!view) return;
  if (std::dynamic_pointer_cast<ZUMAdView>(view)) view->setAutoresizingMask(platform::AutoresizingNone);
  addSubview(view);
}

std::shared_ptr<platform::View> ZUMBannerView::adView() const { return slot_ ? slot_->adView() : nullptr; }

std::optional<std::string> ZUMBannerView::adNetworkClassName() const {
  return slot_ ? slot_->adNetworkClassName() : std::nullopt;
}

bool ZUMBannerView::hasAutoRefreshed() const { return slot_ && slot_->hasAutoRefreshed(); }

std::shared_ptr<platform::View> ZUMBannerView::mediatedAdView() const {
  const auto ad = slot_ ? slot_->ad() : nullptr;
  return ad && ad->responseType() == kZUMMediationResponseType ? rootAdView_ : nullptr;
}

std::optional<nlohmann::ordered_json> ZUMBannerView::bannerKey() const {
  std::shared_ptr<const nlohmann::ordered_json> key;
  lockQueue_->sync([&] { key = locked_->bannerKey; });
  if (!key) return std::nullopt;
  return *key;
}

void ZUMBannerView::setBannerKey(const nlohmann::ordered_json& key) {
  auto copy = std::make_shared<const nlohmann::ordered_json>(key);
  lockQueue_->async([locked = locked_, copy] { locked->bannerKey = copy; });
}

void ZUMBannerView::setAlpha(double alpha) {
  // A banner is shown fully or not at all; NaN is refused by the view as ever.
  platform::View::setAlpha(alpha == 0 || std::isnan(alpha) ? alpha : 1.0);
}

void ZUMBannerView::didMoveToWindow() {
  platform::View::didMoveToWindow();
  if (slot_) ZUMSlotActiveView::forSlot(*slot_)->ownerViewDidMoveToWindow(window());
}

std::optional<platform::Rect> ZUMBannerView::frameInInterface() {
  auto window = this->window();
  if (!window || &window->screen() != &platform::Screen::main()) return platform::Rect::zero();
  return ZUMRectInInterfaceOrientation(convertRectToView(bounds(), nullptr));
}

// --- The slot's questions ------------------------------------------------------------------------

std::optional<bool> ZUMBannerView::slotShouldLoadRequest(ZUMSlot&, const std::shared_ptr<ZUMRequest>&,
                                                         platform::ErrorPtr* error) {
  platform::ErrorPtr sizeError;
  std::string message;
  if (!ZUMValidateAdSize(adSize(), &sizeError)) {
    message = "You must set a valid ad size for the banner before loading a request. " +
              (sizeError ? sizeError->localizedDescription() : std::string());
  } else if (!rootViewController()) {
    message = "You must set the rootViewController property of " + description() + " before loading a request.";
  } else {
    return true;
  }
  logPublicMessage(message);
  if (error) *error = ZUMMakeErrorWithDescription(kZUMErrorInvalidRequest, message);
  return false;
}

std::optional<bool> ZUMBannerView::slotShouldReloadCurrentRequest(ZUMSlot&) {
  platform::assertMainThread();
  if (!hasLoadedAd_) return true;
  if (!ZUMApplication::sharedInstance()->backgroundReloadingEnabled() && !platform::Application::shared().isActive()) {
    return false;
  }
  // Only a banner the user can see refreshes: every view up to its window is shown.
  for (auto view = rootAdView_; view; view = view->superview()) {
    if (view->isHidden()) return false;
    if (std::dynamic_pointer_cast<platform::Window>(view)) return true;
  }
  return false;
}

ZUMImplemented ZUMBannerView::slotDidReceiveAdView(ZUMSlot&, const std::shared_ptr<platform::View>& view) {
  setRootAdView(view);
  return kZUMImplemented;
}

std::optional<bool> ZUMBannerView::slotShouldChangeAudioSessionCategoryTo(ZUMSlot&, const std::string& category) {
  auto delegate = this->delegate();
  if (!delegate) return true;
  return delegate->adShouldChangeAudioSessionToCategory(this, category).value_or(true);
}

bool ZUMBannerView::slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&, platform::ErrorPtr*) {
  return true;
}

void ZUMBannerView::slotWillProcessMediatedAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad) {
  if (ad) ad->setMediationDelegate(self());
}

std::shared_ptr<ZUMMAdNetworkConnectorImpl> ZUMBannerView::mediationConnectorForConfiguration(
    const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) {
  return ZUMMAdNetworkConnectorBanner::create(config, networkConfig);
}

// --- The host's callbacks ------------------------------------------------------------------------

void ZUMBannerView::tellDelegate(std::function<void(ZUMBannerViewDelegate&, ZUMBannerView&)> call) {
  ZUMRunOnMainThread([weak = std::weak_ptr<ZUMBannerView>(self()), call = std::move(call)] {
    auto banner = weak.lock();
    if (!banner) return;
    if (auto delegate = banner->delegate()) call(*delegate, *banner);
  });
}

void ZUMBannerView::slotFinishedLoadingAdContent(ZUMSlot&) {
  bannerAdLoadSucceeded();
  resetVideoController();
  ZUMRunOnMainThread([weak = std::weak_ptr<ZUMBannerView>(self())] {
    auto banner = weak.lock();
    if (!banner) return;
    auto adView = std::dynamic_pointer_cast<ZUMAdView>(banner->adView());
    if (adView && adView == banner->rootAdView_)
      ZUMAdURLStash::sharedInstance()->adViewDidFinishLayout(adView->stashKey());
  });
  ZUMRunOnMainThread([weak = std::weak_ptr<ZUMBannerView>(self())] {
    auto banner = weak.lock();
    if (!banner) return;
    if (auto delegate = banner->delegate()) delegate->adViewDidReceiveAd(*banner);
    banner->hasLoadedAd_ = true;  // from now on refreshes meet the refresh gate
  });
}

void ZUMBannerView::slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) {
  videoController_->setInternalVideoController(nullptr);
  bannerAdLoadFailedWithError(error);
  auto requestError = ZUMRequestErrorFromError(error);
  ZUMRunOnMainThread([weak = std::weak_ptr<ZUMBannerView>(self()), requestError] {
    auto banner = weak.lock();
    if (!banner) return;
    if (auto delegate = banner->delegate()) delegate->adViewDidFailToReceiveAdWithError(*banner, requestError);
    // Whether or not the host heard it, the banner tries again on its timer.
    banner->slot_->scheduleAdReloadTimer();
  });
}

ZUMImplemented ZUMBannerView::slotWillPresentScreen(ZUMSlot&) {
  tellDelegate([](ZUMBannerViewDelegate& d, ZUMBannerView& banner) { d.adViewWillPresentScreen(banner); });
  return kZUMImplemented;
}

ZUMImplemented ZUMBannerView::slotWillDismissScreen(ZUMSlot&) {
  tellDelegate([](ZUMBannerViewDelegate& d, ZUMBannerView& banner) { d.adViewWillDismissScreen(banner); });
  return kZUMImplemented;
}

ZUMImplemented ZUMBannerView::slotDidDismissScreen(ZUMSlot&) {
  tellDelegate([](ZUMBannerViewDelegate& d, ZUMBannerView& banner) { d.adViewDidDismissScreen(banner); });
  return kZUMImplemented;
}

ZUMImplemented ZUMBannerView::slotWillLeaveApplication(ZUMSlot&) {
  tellDelegate([](ZUMBannerViewDelegate& d, ZUMBannerView& banner) { d.adViewWillLeaveApplication(banner); });
  return kZUMImplemented;
}

// --- Video ---------------------------------------------------------------------------------------

void ZUMBannerView::resetVideoController() {
  std::shared_ptr<ZUMVideoControlling> inner;
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(rootAdView_)) {
    inner = adView->videoController();
  } else if (auto banner = std::dynamic_pointer_cast<ZUMBannerView>(rootAdView_)) {
    inner = banner->videoController();
  }
  videoController_->setInternalVideoController(inner);
  auto options = adConfiguration_ ? adConfiguration_->option<ZUMVideoOptions>() : nullptr;
  videoController_->setInitialStateWithVideoOptions(options);
}
