#include "sdk/rendering/ZUMAdViewSlotRendering.h"

#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewActiveViewReporter.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMSlot.h"

ZUMSlotRendering::AdViewParts ZUMAdViewSlotRendering::makeAdView(ZUMSlot& slot, const platform::Rect& frame) {
  ZUMSlotEventHandler::forSlot(slot);
  auto adView = ZUMAdView::create(frame);
  if (!adView) return {};
  auto delegate = ZUMBannerAdViewDelegate::create(slot.shared_from_this());
  adView->setDelegate(delegate);
  auto activeView = ZUMSlotActiveView::forSlot(slot);
  activeView->setMonitoredView(adView);
  adView->activeViewReporter().setObserver(activeView);
  return {adView, delegate};
}

void ZUMAdViewSlotRendering::adViewDidMoveToPlacement(platform::View& adView,
                                                      const std::shared_ptr<ZUMSlotPlacement>& placement) {
  if (auto* view = dynamic_cast<ZUMAdView*>(&adView)) view->didMoveToPlacement(placement);
}

void ZUMAdViewSlotRendering::pauseVideo(platform::View& adView) {
  if (auto* view = dynamic_cast<ZUMAdView*>(&adView)) view->pauseVideo();
}

void ZUMAdViewSlotRendering::clearTouched(platform::View& adView) {
  if (auto* view = dynamic_cast<ZUMAdView*>(&adView)) view->setTouched(false);
}

void ZUMAdViewSlotRendering::detachAdView(platform::View& adView) {
  auto* view = dynamic_cast<ZUMAdView*>(&adView);
  if (!view) return;
  view->setDelegate(nullptr);
  if (auto activeView = std::dynamic_pointer_cast<ZUMSlotActiveView>(view->activeViewReporter().observer())) {
    activeView->slotWillInvalidate();
  }
}
