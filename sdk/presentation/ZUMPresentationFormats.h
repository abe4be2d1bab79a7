// What the full-screen screens ask of the formats: whether a slot shows a rewarded ad
// (its owner is an interstitial whose own delegate is the rewarded video ad). The area
// implements it and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr): no slot shows a rewarded ad.
//
// Called on the main thread.
#pragma once

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMSlot;

class ZUMPresentationFormats : public ZUMSharedInterface<ZUMPresentationFormats> {
 public:
  virtual ~ZUMPresentationFormats() = default;

  virtual bool slotShowsRewardedAd(const ZUMSlot& slot) = 0;
};

// Whether `slot` shows a rewarded ad, false without the formats.
inline bool ZUMSlotShowsRewardedAd(const ZUMSlot& slot) {
  auto formats = ZUMPresentationFormats::shared();
  return formats && formats->slotShowsRewardedAd(slot);
}
