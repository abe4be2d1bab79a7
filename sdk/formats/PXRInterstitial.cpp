#include "PXRInterstitial.h"

#include <cstdio>

#include "PXRCustomRenderedAd.h"
#include "PXRCustomRenderedInterstitialDelegate.h"
#include "ZUMAppEventDelegate.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSlot.h"

namespace {

std::string objectDescription(const char* className, const void* object) {
  if (!object) return "(null)";
  char text[96];
  std::snprintf(text, sizeof text, "<%s: %p>", className, object);
  return text;
}

// `slot` while it holds `handedOff` in `state`, else nullptr. Reports of an ad the slot no
// longer holds (it loaded another, it was invalidated) would count for something else.
std::shared_ptr<ZUMSlot> slotHolding(const std::shared_ptr<ZUMSlot>& slot, const std::shared_ptr<ZUMAd>& handedOff,
                                     ZUMSlot::State state) {
  return slot && handedOff && slot->ad() == handedOff && slot->state() == state ? slot : nullptr;
}

}  // namespace

std::shared_ptr<PXRInterstitial> PXRInterstitial::create(std::string adUnitID) {
  std::shared_ptr<PXRInterstitial> interstitial(new PXRInterstitial(std::move(adUnitID)));
  interstitial->finishCreation();
  return interstitial;
}

std::shared_ptr<ZUMCorrelator> PXRInterstitial::correlator() const { return slot() ? slot()->correlator() : nullptr; }

void PXRInterstitial::setCorrelator(const std::shared_ptr<ZUMCorrelator>& correlator) {
  platform::assertMainThread();
  if (!correlator) return;
  createSlot();
  slot()->setCorrelator(correlator);
}

void PXRInterstitial::presentFromRootViewController(const std::shared_ptr<platform::ViewController>& root) {
  platform::assertMainThread();
  if (customAdRenderingEnabled_) {
    ZUMLogger::sharedInstance()->logPublicMessage(
        "Custom ad rendering is enabled. Please directly present the interstitial from the root view controller.");
    return;
  }
  ZUMInterstitial::presentFromRootViewController(root);
}

// --- Slot delegate ---------------------------------------------------------------------------

ZUMImplemented PXRInterstitial::slotDidReceiveAppEvent(ZUMSlot&, const std::string& name,
                                                       const std::optional<std::string>& info) {
  if (auto delegate = appEventDelegate()) delegate->interstitialDidReceiveAppEvent(*this, name, info);
  return kZUMImplemented;
}

ZUMImplemented PXRInterstitial::slotWillLoadAdWithRequest(ZUMSlot& slot, const std::shared_ptr<ZUMRequest>&) {
  const auto correlator = slot.correlator();
  previousCorrelationID_ = correlator ? correlator->correlationID() : 0;
  return kZUMImplemented;
}

std::optional<bool> PXRInterstitial::slotShouldPreemptInProgressRequest(ZUMSlot& slot) {
  // The slot's correlator, not the new request's: a reset correlator means a new page
  // view, whose ads replace the ones still loading for the old.
  const auto correlator = slot.correlator();
  return correlator && previousCorrelationID_ != 0 && correlator->correlationID() != previousCorrelationID_;
}

std::optional<bool> PXRInterstitial::slotNotifyPublisherToRenderCustomRenderingAd(ZUMSlot& slot,
                                                                                 const std::shared_ptr<ZUMAd>& ad,
                                                                                 platform::ErrorPtr* error) {
  platform::assertMainThread();
  customAdRenderingEnabled_ = true;
  auto delegate = customRenderedInterstitialDelegate();
  if (delegate && ad) {
    auto base = ad->adBaseURL() ? platform::URL::fromString("/", *ad->adBaseURL()) : std::nullopt;
    auto self = std::static_pointer_cast<PXRInterstitial>(shared_from_this());
    auto customAd = PXRCustomRenderedAd::create(ad->adHTML(), std::move(base), self);
    customRenderedAd_ = ad;
    slot.willStartAdRendering();
    delegate->interstitialDidReceiveCustomRenderedAd(*this, customAd);
    return true;
  }
  if (error) {
    *error = ZUMMakeErrorWithDescription(
        kZUMErrorInvalidArgument,
        "Ignoring delegate callback. Delegate does not conform to PXRCustomRenderedInterstitialDelegate.\nInterstitial: " +
            objectDescription("PXRInterstitial", this) + "\nDelegate: " +
            objectDescription("PXRCustomRenderedInterstitialDelegate", delegate.get()));
  }
  return false;
}

// --- Reports of the host's rendering ----------------------------------------------------------

void PXRInterstitial::finishedRenderingAdView(const std::shared_ptr<platform::View>&) {
  platform::assertMainThread();
  // Only a load still waiting for the host completes: once, and never a failed or
  // invalidated slot's.
  if (auto held = slotHolding(slot(), customRenderedAd_.lock(), ZUMSlot::State::kRendering)) {
    held->didReceiveValidAd();
  }
}

void PXRInterstitial::recordCustomAdImpression() {
  platform::assertMainThread();
  if (auto held = slotHolding(slot(), customRenderedAd_.lock(), ZUMSlot::State::kValidAd)) {
    auto events = ZUMSlotEventHandler::forSlot(*held);
    events->didMakeAdImpression();
    events->pingManualTrackingURLs();
  }
}

void PXRInterstitial::recordClick() {
  platform::assertMainThread();
  if (auto held = slotHolding(slot(), customRenderedAd_.lock(), ZUMSlot::State::kValidAd)) {
    ZUMSlotEventHandler::forSlot(*held)->pingClickURLs();
  }
}
