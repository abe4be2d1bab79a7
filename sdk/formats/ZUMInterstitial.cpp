#include "ZUMInterstitial.h"

#include <cmath>
#include <exception>
#include <utility>

#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/InterfaceOrientation.h"
#include "platform/ui/Window.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/formats/ZUMInterstitialCache.h"
#include "sdk/formats/ZUMInterstitialCacheEntry.h"
#include "sdk/formats/ZUMInterstitialOwner.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/mediation/ZUMMAdManager.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorInterstitial.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMAdUnitExposure.h"
#include "sdk/telemetry/ZUMBufferedFennickLogger.h"
#include "sdk/telemetry/ZUMFennickCommand.h"

namespace {

constexpr platform::InterfaceOrientationMask kAllOrientations = 30;
constexpr double kMinimumAdDimension = 0.01;

bool onlyApplicationOrientations() {
  return ZUMUserDefaults::boolForKey("/vantor/ads/view_controller_only_supports_application_orientation")
      .value_or(false);
}

void logPublicMessage(const std::string& message) { ZUMLogger::sharedInstance()->logPublicMessage(message); }

}  // namespace

std::shared_ptr<ZUMInterstitial> ZUMInterstitial::create(std::string adUnitID) {
  std::shared_ptr<ZUMInterstitial> interstitial(new ZUMInterstitial(std::move(adUnitID)));
  interstitial->finishCreation();
  return interstitial;
}

void ZUMInterstitial::finishCreation() {
  interstitialOwner_ = ZUMInterstitialOwner::create(shared_from_this());
  bufferedLogger_ = ZUMBufferedFennickLogger::create();
}

ZUMInterstitial::ZUMInterstitial(std::string adUnitID) : adUnitID_(std::move(adUnitID)) {}

ZUMInterstitial::~ZUMInterstitial() {
  stopLogging();
  releaseSlot(std::move(slot_));
}

void ZUMInterstitial::releaseSlot(std::shared_ptr<ZUMSlot> slot) {
  if (!slot) return;
  // The slot owns views, so its teardown runs on the main thread (at once when the host
  // drops the interstitial there).
  ZUMRunOnMainThread([slot = std::move(slot)]() mutable {
    auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    slot->invalidate();
    if (adView) adView->setViewController(nullptr);
    slot->cancelPendingAndFutureActions();
    // Let go here, on the main thread, whatever thread later destroys this block.
    slot.reset();
  });
}

void ZUMInterstitial::setAdUnitID(std::string adUnitID) {
  adUnitID_ = std::move(adUnitID);
  if (slot_) slot_->setAdUnitID(adUnitID_);
}

std::optional<std::string> ZUMInterstitial::adNetworkClassName() const {
  return slot_ ? slot_->adNetworkClassName() : std::nullopt;
}

bool ZUMInterstitial::isReady() const { return slot_ && slot_->state() == ZUMSlot::State::kValidAd; }

void ZUMInterstitial::cancel() {
  if (slot_) slot_->cancelPendingAndFutureActions();
}

void ZUMInterstitial::setMediated() {
  std::weak_ptr<ZUMInterstitial> weak = weak_from_this();
  ZUMRunOnMainThread([weak] {
    if (auto self = weak.lock()) self->isMediated_ = true;
  });
}

void ZUMInterstitial::setViewController(std::shared_ptr<ZUMInterstitialViewController> controller) {
  viewController_ = std::move(controller);
}

// --- Loading ---------------------------------------------------------------------------------

void ZUMInterstitial::loadRequest(const std::shared_ptr<ZUMRequest>& request) {
  if (bufferedLogger_) bufferedLogger_->bufferEvent(nlohmann::ordered_json{{"interstitial", {{"loading_started", 1}}}});
  auto copy = request ? request->copy() : nullptr;
  ZUMApplication::sharedInstance()->requesterWillBeginRequest(this);
  // Held strongly until the load has started, so the hub always hears the end.
  platform::DispatchQueue::main()->async([self = shared_from_this(), copy] { self->continueLoad(copy); });
}

void ZUMInterstitial::continueLoad(const std::shared_ptr<ZUMRequest>& request) {
  if (!slot_) {
    ZUMApplication::sharedInstance()->runAdditionalEarlyActivities();
    std::shared_ptr<ZUMInterstitialCacheEntry> entry;
    if (ZUMUserDefaults::boolForKey(kZUMInterstitialPoolEnabledKey).value_or(false)) {
      entry = ZUMInterstitialCache::sharedInstance()->cacheEntryForRequest(request, adUnitID_);
    }
    if (entry) {
      loadSlotFromCacheEntry(entry);
    } else {
      createSlot();
      slot_->loadRequest(request);
    }
  } else {
    slot_->loadRequest(request);
  }
  ZUMApplication::sharedInstance()->requesterDidEndRequest(this);
}

void ZUMInterstitial::loadSlotFromCacheEntry(const std::shared_ptr<ZUMInterstitialCacheEntry>& entry) {
  platform::assertMainThread();
  if (slot_ || !entry || !entry->slot()) return;
  adoptSlot(entry->slot());
  entry->slotDidMoveToPlacement();
  if (entry->error()) {
    slotDidFailToLoadAdContentWithError(*slot_, entry->error());
  } else if (entry->isLoaded()) {
    slotFinishedLoadingAdContent(*slot_);
  }
}

void ZUMInterstitial::createSlot() {
  platform::assertMainThread();
  if (slot_) return;
  auto slot = ZUMSlot::create(ZUMDevice::sharedInstance()->standardizedPortraitScreenBounds());
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView())) adView->configureAsInterstitialAdView();
  slot->setAdUnitID(adUnitID_);
  adoptSlot(std::move(slot));
}

void ZUMInterstitial::adoptSlot(std::shared_ptr<ZUMSlot> slot) {
  slot_ = std::move(slot);
  auto self = shared_from_this();
  slot_->setSlotDelegate(self);
  slot_->setAdEventDelegate(self);
  slot_->setAdLoadDelegate(self);
  slot_->setAdResponseDelegate(self);
  // A pool entry's waterfall asks its owner for the next connector: from now on, this.
  if (auto ad = slot_->ad(); ad && ad->responseType() == kZUMMediationResponseType) ad->setMediationDelegate(self);
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView())) {
    adView->setRewardBasedVideoAdTOLMHandlerDelegate(self);
  }
  slot_->setPlacement(self);
  interstitialCreatedSlot(slot_);
  viewController_ = ZUMInterstitialViewController::create(slot_);
  interstitialOwner_->interstitialDidCreateSlot();
}

// --- Presenting -------------------------------------------------------------------------------

void ZUMInterstitial::presentFromRootViewController(const std::shared_ptr<platform::ViewController>& root) {
  platform::assertMainThread();
  alreadyUsedError_ = ZUMMakeErrorWithCode(kZUMErrorInterstitialAlreadyUsed);
  if (hasBeenUsed_) {
    logPublicMessage(alreadyUsedError_->localizedDescription());
    return;
  }
  if (!isReady()) {
    logPublicMessage("Cannot present interstitial. It is not ready.");
    return;
  }
  if (!root) {
    // Nothing to present from: the host hears of the failure, the object stays unused
    // and its owner does not hold it.
    logPublicMessage("No UIViewController supplied to the ad. Cannot continue.");
    adPresentationDidFail();
    return;
  }
  if (!canPresentFullScreen()) {
    adPresentationDidFail();
    return;
  }
  if (const auto& csi = slot_->CSI()) csi->recordTimestampForLabel("native:view_show");
  reportCountEvent("presented");
  interstitialOwner_->interstitialWillBePresented();
  if (auto ad = slot_->ad(); ad && ad->responseType() == kZUMMediationResponseType) {
    // The network presents its own ad and counts its impression when it does.
    if (auto manager = slot_->mediationManager()) manager->presentInterstitialFromRootViewController(root);
    hasBeenUsed_ = true;
    return;
  }
  viewController_->setSlot(slot_);
  applyAdOrientations();
  // The impression counts when the ad is shown, not when its page loaded.
  ZUMSlotEventHandler::forSlot(*slot_)->didMakeAdImpression();
  try {
    viewController_->presentFromViewController(root, nullptr);
  } catch (const std::exception& exception) {
    logPublicMessage(std::string("Presenting the interstitial threw exception: ") + exception.what() +
                     " with trace: (none)");
  }
  hasBeenUsed_ = true;
}

void ZUMInterstitial::applyAdOrientations() {
  const auto supported =
      static_cast<platform::InterfaceOrientationMask>(slot_->ad() ? slot_->ad()->supportedOrientations() : 0);
  const auto current = viewController_->adOrientations();
  // Orientations the host set keep precedence over an ad that allows every one.
  if (current == 0 || (supported != 0 && supported != kAllOrientations &&
                       !viewController_->adOrientationsOverridesLockedOrientation())) {
    viewController_->setAdOrientations(supported);
  }
}

void ZUMInterstitial::adPresentationDidFail() {
  std::weak_ptr<ZUMInterstitial> weak = weak_from_this();
  platform::DispatchQueue::main()->async([weak] {
    auto self = weak.lock();
    if (!self) return;
    auto delegate = self->delegate();
    if (!delegate || delegate->interstitialDidFailToPresentScreen(*self)) return;
    // A host that does not handle the failure still sees a show begin and end, so its
    // flow (a timer started at dismissal) goes on.
    delegate->interstitialWillPresentScreen(*self);
    platform::DispatchQueue::main()->async([weak] {
      auto self = weak.lock();
      if (!self) return;
      if (auto delegate = self->delegate()) delegate->interstitialWillDismissScreen(*self);
      platform::DispatchQueue::main()->async([weak] {
        auto self = weak.lock();
        if (!self) return;
        if (auto delegate = self->delegate()) delegate->interstitialDidDismissScreen(*self);
      });
    });
  });
}

bool ZUMInterstitial::canPresentFullScreen() const {
  auto hub = ZUMApplication::sharedInstance();
  const auto ad = slot_ ? slot_->ad() : nullptr;
  if (!hub->isSplitScreenEnabled()) {
    if (onlyApplicationOrientations() && !hub->supportsOrientations(ad ? ad->supportedOrientations() : 0)) {
      logPublicMessage("Ad cannot be presented. Application does not support the ad's orientation.");
      return false;
    }
    return true;
  }
  if (adNetworkClassName() != kZUMFirstPartyAdapterClassName || !ad) return true;
  auto window = hub->mainWindow();
  const platform::Size windowSize = window ? window->frame().standardized().size : platform::Size{0, 0};
  const platform::Size adSize = ad->size();
  if (!canFitAdSize(adSize, windowSize, ad->croppedContentThreshold()) && adSize.width >= kMinimumAdDimension &&
      adSize.height >= kMinimumAdDimension) {
    logPublicMessage("The interstitial size differs from the current window size.");
    return false;
  }
  return true;
}

bool ZUMInterstitial::canFitAdSize(platform::Size adSize, platform::Size windowSize, double threshold) {
  auto near = [threshold](double a, double b) { return std::fabs(a - b) < threshold; };
  return (near(windowSize.width, adSize.width) && near(windowSize.height, adSize.height)) ||
         (near(windowSize.height, adSize.width) && near(windowSize.width, adSize.height));
}

// --- Delegate callbacks -----------------------------------------------------------------------

void ZUMInterstitial::tellDelegate(std::function<void(ZUMInterstitialDelegate&, ZUMInterstitial&)> call) {
  std::weak_ptr<ZUMInterstitial> weak = weak_from_this();
  ZUMRunOnMainThread([weak, call = std::move(call)] {
    auto self = weak.lock();
    if (!self) return;
    if (auto delegate = self->delegate()) call(*delegate, *self);
  });
}

std::optional<bool> ZUMInterstitial::slotShouldLoadRequest(ZUMSlot&, const std::shared_ptr<ZUMRequest>&,
                                                           platform::ErrorPtr* error) {
  if (!hasBeenUsed_) return true;
  // An object the host marked used before any present has no error yet: it still gets
  // the used object's code 6, never the generic refusal.
  if (!alreadyUsedError_) alreadyUsedError_ = ZUMMakeErrorWithCode(kZUMErrorInterstitialAlreadyUsed);
  if (error) *error = alreadyUsedError_;
  logPublicMessage(alreadyUsedError_->localizedDescription());
  return false;
}

std::optional<bool> ZUMInterstitial::slotShouldReloadCurrentRequest(ZUMSlot&) { return false; }

ZUMImplemented ZUMInterstitial::slotDidLoadMRAIDAd(ZUMSlot&) {
  if (viewController_) viewController_->positionCloseButton();
  return kZUMImplemented;
}

std::optional<bool> ZUMInterstitial::slotShouldChangeAudioSessionCategoryTo(ZUMSlot&, const std::string& category) {
  auto delegate = this->delegate();
  if (!delegate) return true;
  return delegate->adShouldChangeAudioSessionToCategory(this, category).value_or(true);
}

std::optional<bool> ZUMInterstitial::slotShouldDisableVideoEventReportToAudioVideoManager(
    ZUMSlot&, const std::shared_ptr<ZUMAudioVideoManager>&) {
  auto enabled = ZUMUserDefaults::boolForKey("/vantor/ads/zums:interstitial_player_to_video_manager_reporting_enabled");
  return !enabled.value_or(false);
}

ZUMImplemented ZUMInterstitial::slotDidReceiveAdClick(ZUMSlot&) {
  if (auto delegate = this->delegate()) delegate->interstitialDidReceiveAdClick(*this);
  return kZUMImplemented;
}

bool ZUMInterstitial::slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad,
                                                  platform::ErrorPtr* error) {
  return canProcessAdResponse(ad, error);
}

bool ZUMInterstitial::canProcessAdResponse(const std::shared_ptr<ZUMAd>& ad, platform::ErrorPtr* error) {
  auto hub = ZUMApplication::sharedInstance();
  if (hub->isSplitScreenEnabled() || !onlyApplicationOrientations()) return true;
  if (ad && hub->supportsOrientations(ad->supportedOrientations())) return true;
  if (error) *error = ZUMMakeErrorWithCode(kZUMErrorInvalidResponse);
  return false;
}

void ZUMInterstitial::slotWillProcessMediatedAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad) {
  if (ad) ad->setMediationDelegate(shared_from_this());
}

std::shared_ptr<ZUMMAdNetworkConnectorImpl> ZUMInterstitial::mediationConnectorForConfiguration(
    const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) {
  return ZUMMAdNetworkConnectorInterstitial::create(config, networkConfig);
}

void ZUMInterstitial::slotFinishedLoadingAdContent(ZUMSlot&) {
  reportCountEvent("loading_succeeded");
  tellDelegate([](ZUMInterstitialDelegate& d, ZUMInterstitial& self) { d.interstitialDidReceiveAd(self); });
}

void ZUMInterstitial::slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) {
  reportValueEvent("loading_failed", ZUMFennickErrorParameters(error));
  auto requestError = ZUMRequestErrorFromError(error);
  tellDelegate([requestError](ZUMInterstitialDelegate& d, ZUMInterstitial& self) {
    d.interstitialDidFailToReceiveAdWithError(self, requestError);
  });
}

ZUMImplemented ZUMInterstitial::slotWillPresentScreen(ZUMSlot&) {
  ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &ZUMInterstitial::beginAdUnitExposure));
  tellDelegate([](ZUMInterstitialDelegate& d, ZUMInterstitial& self) { d.interstitialWillPresentScreen(self); });
  return kZUMImplemented;
}

ZUMImplemented ZUMInterstitial::slotWillDismissScreen(ZUMSlot&) {
  tellDelegate([](ZUMInterstitialDelegate& d, ZUMInterstitial& self) { d.interstitialWillDismissScreen(self); });
  return kZUMImplemented;
}

ZUMImplemented ZUMInterstitial::slotDidDismissScreen(ZUMSlot&) {
  // The owner may drop its hold on this object: it lives to the end of the call.
  auto keepAlive = shared_from_this();
  reportCountEvent("dismissed");
  interstitialOwner_->interstitialIsDismissed();
  ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &ZUMInterstitial::endShowing));
  tellDelegate([](ZUMInterstitialDelegate& d, ZUMInterstitial& self) { d.interstitialDidDismissScreen(self); });
  return kZUMImplemented;
}

void ZUMInterstitial::beginAdUnitExposure() {
  if (!isMediated_ && !adUnitExposure_) adUnitExposure_ = ZUMAdUnitExposure::begin(adUnitID_);
}

void ZUMInterstitial::endShowing() {
  adUnitExposure_.reset();
  // A parked ad view (a delayed close) is off screen: nothing more to measure.
  if (slot_) ZUMSlotActiveView::forSlot(*slot_)->finishActiveViewReporting();
}

ZUMImplemented ZUMInterstitial::slotWillLeaveApplication(ZUMSlot&) {
  tellDelegate([](ZUMInterstitialDelegate& d, ZUMInterstitial& self) { d.interstitialWillLeaveApplication(self); });
  return kZUMImplemented;
}

// --- Rewarded video messages -----------------------------------------------------------------

void ZUMInterstitial::rewardBasedVideoAdTOLMHandlerDidReceiveRewardNotificationWithRewardItem(
    const std::shared_ptr<ZUMAdReward>& rewardItem) {
  auto rewarded = std::dynamic_pointer_cast<ZUMInterstitialRewardBasedVideoAdDelegate>(delegate());
  if (!rewarded) return;
  auto ad = slot_ ? slot_->ad() : nullptr;
  auto reward = ad && ad->reward() ? ad->reward() : rewardItem;
  if (!reward) {
    ZUMLog(1, "Reward not given: neither the ad nor the page's message holds a valid reward.");
    return;
  }
  rewarded->interstitialDidRewardUserWithReward(*this, reward);
}

void ZUMInterstitial::rewardBasedVideoAdTOLMHandlerDidReceiveStartVideoNotification() {
  if (auto rewarded = std::dynamic_pointer_cast<ZUMInterstitialRewardBasedVideoAdDelegate>(delegate())) {
    rewarded->interstitialDidStartPlayingRewardBasedVideoAd(*this);
  }
}
