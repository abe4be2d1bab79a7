#include "PXRBannerView.h"

#include <utility>

#include "PXRCustomRenderedAd.h"
#include "PXRCustomRenderedBannerViewDelegate.h"
#include "ZUMAdSizeDelegate.h"
#include "ZUMAppEventDelegate.h"
#include "ZUMRequest.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMSlot.h"

// --- Creation ------------------------------------------------------------------------------------

std::shared_ptr<PXRBannerView> PXRBannerView::create() { return create(platform::Rect::zero()); }

std::shared_ptr<PXRBannerView> PXRBannerView::create(const platform::Rect& frame) {
  return create(frame, ZUMAdSizeFromSize(frame.standardized().size));
}

std::shared_ptr<PXRBannerView> PXRBannerView::create(const ZUMAdSize& adSize) {
  return create(platform::Rect::zero(), adSize);
}

std::shared_ptr<PXRBannerView> PXRBannerView::create(const ZUMAdSize& adSize, platform::Point origin) {
  auto banner = create(adSize);
  banner->setFrame({origin, banner->frame().size});
  return banner;
}

std::shared_ptr<PXRBannerView> PXRBannerView::create(const platform::Rect& frame, const ZUMAdSize& adSize) {
  std::shared_ptr<PXRBannerView> banner(new PXRBannerView(frame));
  banner->commonInitWithAdSize(adSize);
  return banner;
}

// --- Sizes ---------------------------------------------------------------------------------------

void PXRBannerView::resize(const ZUMAdSize& adSize) {
  platform::assertMainThread();
  setAdSize(adSize, false);
  ZUMNoteResizeUsed();
}

void PXRBannerView::setValidAdSizesWithSizes(const std::vector<ZUMAdSize>& sizes) {
  platform::assertMainThread();
  std::vector<std::any> boxed;
  boxed.reserve(sizes.size());
  for (const ZUMAdSize& size : sizes) boxed.push_back(ZUMValueFromAdSize(size));
  validAdSizes_ = std::move(boxed);
  ZUMNoteValidAdSizesSetterUsed();
}

// --- Correlator and impressions ------------------------------------------------------------------

std::shared_ptr<ZUMCorrelator> PXRBannerView::correlator() const { return slot()->correlator(); }

void PXRBannerView::setCorrelator(const std::shared_ptr<ZUMCorrelator>& correlator) {
  platform::assertMainThread();
  slot()->setCorrelator(correlator);
}

bool PXRBannerView::enableManualImpressions() const { return slot()->manualImpressionsEnabled(); }

void PXRBannerView::setEnableManualImpressions(bool enabled) {
  platform::assertMainThread();
  slot()->setManualImpressionsEnabled(enabled);
}

void PXRBannerView::recordImpression() {
  platform::assertMainThread();
  ZUMSlotEventHandler::forSlot(*slot())->pingManualTrackingURLs();
}

// --- Slot delegate -------------------------------------------------------------------------------

ZUMImplemented PXRBannerView::slotDidReceiveAppEvent(ZUMSlot&, const std::string& name,
                                                     const std::optional<std::string>& info) {
  platform::assertMainThread();
  if (auto delegate = appEventDelegate()) delegate->adViewDidReceiveAppEvent(*this, name, info);
  return kZUMImplemented;
}

ZUMImplemented PXRBannerView::slotWillResizeToAdSize(ZUMSlot&, const ZUMAdSize& size) {
  platform::assertMainThread();
  // The slot applies the size itself right after; the host hears only of a real change.
  if (ZUMAdSizeEqualToSize(size, adSize())) return kZUMImplemented;
  if (auto delegate = adSizeDelegate()) delegate->adViewWillChangeAdSizeTo(*this, size);
  return kZUMImplemented;
}

ZUMImplemented PXRBannerView::slotWillLoadAdWithRequest(ZUMSlot& slot, const std::shared_ptr<ZUMRequest>&) {
  preemption_.willLoad(slot);
  return kZUMImplemented;
}

std::optional<bool> PXRBannerView::slotShouldPreemptInProgressRequest(ZUMSlot& slot) {
  return preemption_.shouldPreempt(slot);
}

std::optional<bool> PXRBannerView::slotNotifyPublisherToRenderCustomRenderingAd(ZUMSlot& slot,
                                                                                const std::shared_ptr<ZUMAd>& ad,
                                                                                platform::ErrorPtr* error) {
  platform::assertMainThread();
  auto delegate = customRenderedBannerViewDelegate();
  if (delegate && ad) {
    auto me = std::static_pointer_cast<PXRBannerView>(self());
    customRendering_.handOff(slot, ad, me, [&](const std::shared_ptr<PXRCustomRenderedAd>& customAd) {
      delegate->bannerViewDidReceiveCustomRenderedAd(*this, customAd);
    });
    return true;
  }
  if (error) {
    *error = PXRCustomRendering::delegateDoesNotConformError("PXRCustomRenderedBannerViewDelegate", "Banner view",
                                                             description(), delegate.get());
  }
  return false;
}

// --- Reports of the host's rendering -------------------------------------------------------------

void PXRBannerView::finishedRenderingAdView(const std::shared_ptr<platform::View>&) {
  customRendering_.finishedRendering(slot());
}

void PXRBannerView::recordCustomAdImpression() { customRendering_.recordImpression(slot()); }

void PXRBannerView::recordClick() { customRendering_.recordClick(slot()); }
