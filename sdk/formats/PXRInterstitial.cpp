#include "PXRInterstitial.h"

#include "PXRCustomRenderedAd.h"
#include "PXRCustomRenderedInterstitialDelegate.h"
#include "ZUMAppEventDelegate.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/formats/PXRCustomRendering.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSlot.h"

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
  preemption_.willLoad(slot);
  return kZUMImplemented;
}

std::optional<bool> PXRInterstitial::slotShouldPreemptInProgressRequest(ZUMSlot& slot) {
  return preemption_.shouldPreempt(slot);
}

std::optional<bool> PXRInterstitial::slotNotifyPublisherToRenderCustomRenderingAd(ZUMSlot& slot,
                                                                                  const std::shared_ptr<ZUMAd>& ad,
                                                                                  platform::ErrorPtr* error) {
  platform::assertMainThread();
  customAdRenderingEnabled_ = true;
  auto delegate = customRenderedInterstitialDelegate();
  if (delegate && ad) {
    auto self = std::static_pointer_cast<PXRInterstitial>(shared_from_this());
    customRendering_.handOff(slot, ad, self, [&](const std::shared_ptr<PXRCustomRenderedAd>& customAd) {
      delegate->interstitialDidReceiveCustomRenderedAd(*this, customAd);
    });
    return true;
  }
  if (error) {
    *error = PXRCustomRendering::delegateDoesNotConformError(
        "PXRCustomRenderedInterstitialDelegate", "Interstitial",
        PXRCustomRendering::objectDescription("PXRInterstitial", this), delegate.get());
  }
  return false;
}

// --- Reports of the host's rendering ----------------------------------------------------------

void PXRInterstitial::finishedRenderingAdView(const std::shared_ptr<platform::View>&) {
  customRendering_.finishedRendering(slot());
}

void PXRInterstitial::recordCustomAdImpression() { customRendering_.recordImpression(slot()); }

void PXRInterstitial::recordClick() { customRendering_.recordClick(slot()); }
