// The publisher formats' rule for a load that arrives while another is in progress: it
// pre-empts that load only when the slot's correlator was reset (or replaced) since that
// load started, so the new request belongs to a new page view. The first load, and a
// load without a correlator, never pre-empt. The slot asks with itself, so its own
// correlator, the one its requests carry, is the one compared.
//
// One per publisher format object (PXRBannerView, PXRInterstitial). Main thread only.
#pragma once

#include <cstdint>

class ZUMSlot;

class PXRCorrelatorPreemption {
 public:
  // Remembers the correlation id of the load `slot` starts (0: no correlator).
  void willLoad(const ZUMSlot& slot);
  bool shouldPreempt(const ZUMSlot& slot) const;

 private:
  std::uint32_t previousCorrelationID_ = 0;
};
