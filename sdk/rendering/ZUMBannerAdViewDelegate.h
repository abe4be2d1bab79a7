// The ad-view delegate a slot gives the ad view of its web ads: the base delegate bound
// to the slot (its opener acts for the slot). Reporting the page's load to the slot
// comes with response processing.
//
// Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMAdViewDelegate.h"

class ZUMSlot;

class ZUMBannerAdViewDelegate : public ZUMAdViewDelegate {
 public:
  static std::shared_ptr<ZUMBannerAdViewDelegate> create(const std::shared_ptr<ZUMSlot>& slot);

  // Held weakly.
  std::shared_ptr<ZUMSlot> slot() const { return slot_.lock(); }

 protected:
  explicit ZUMBannerAdViewDelegate(const std::shared_ptr<ZUMSlot>& slot);

 private:
  const std::weak_ptr<ZUMSlot> slot_;
};
