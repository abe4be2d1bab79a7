// The rendering area's side of the slot (ZUMSlotRendering): a slot's ad view is a
// ZUMAdView with a banner ad-view delegate bound to the slot, and the slot gets its
// ZUMSlotEventHandler. The SDK's load entry
// installs it with ZUMSlotRendering::setShared().
//
// Main thread only.
#pragma once

#include "sdk/request/ZUMSlotRendering.h"

class ZUMAdViewSlotRendering final : public ZUMSlotRendering {
 public:
  AdViewParts makeAdView(ZUMSlot& slot, const platform::Rect& frame) override;
  void adViewDidMoveToPlacement(platform::View& adView, const std::shared_ptr<ZUMSlotPlacement>& placement) override;
  // Ad views play no video yet: nothing to pause.
  void pauseVideo(platform::View& adView) override;
  void clearTouched(platform::View& adView) override;
  void detachAdView(platform::View& adView) override;
};
