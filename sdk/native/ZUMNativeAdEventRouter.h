// Routes the events of a slot that several native ads share (the ads of one response)
// to the ad they belong to: the ad that last asked the slot's page to act (a click or an
// impression ping). The page acts for one ad at a time, so the screens it opens, the
// application it leaves for, the click and impression it records and the messages it
// sends (custom clicks, overlays) are that ad's. Without such an ad, or once it is gone,
// an event reaches nobody.
//
// The slot's ad-event delegate; held strongly by each ad on the slot, weakly by the slot
// and the ads' activations. Main thread only.
#pragma once

#include <memory>

#include "ZUMSlotAdEventDelegate.h"

class ZUMNativeAd;
class ZUMSlot;

class ZUMNativeAdEventRouter final : public ZUMSlotAdEventDelegate {
 public:
  // The slot's router: the one it has, else a new one made its ad-event delegate.
  static std::shared_ptr<ZUMNativeAdEventRouter> forSlot(ZUMSlot& slot);

  // The ad that hears the slot's next events.
  void setActiveAd(std::weak_ptr<ZUMNativeAd> ad) { activeAd_ = std::move(ad); }
  // Whether the page now acts for `ad`.
  bool isActiveAd(const ZUMNativeAd& ad) const { return activeAd_.lock().get() == &ad; }

  ZUMImplemented slotWillPresentScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotDidDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillLeaveApplication(ZUMSlot& slot) override;
  ZUMImplemented slotDidRecordImpression(ZUMSlot& slot) override;
  ZUMImplemented slotDidRecordClick(ZUMSlot& slot) override;

 private:
  ZUMNativeAdEventRouter() = default;

  std::weak_ptr<ZUMNativeAd> activeAd_;
};
