// The host's delegate of a ZUMBannerView. Every operation is optional: the default
// answers std::nullopt ("not implemented"). Held weakly and read again for each
// callback; every callback arrives on the main thread.
#pragma once

#include "ZUMAdDelegate.h"
#include "ZUMImplemented.h"
#include "ZUMRequestError.h"

class ZUMBannerView;

class ZUMBannerViewDelegate : public ZUMAdDelegate {
 public:
  virtual ZUMImplemented adViewDidReceiveAd(ZUMBannerView& /*view*/) { return std::nullopt; }
  virtual ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView& /*view*/,
                                                           const ZUMRequestErrorPtr& /*error*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented adViewWillPresentScreen(ZUMBannerView& /*view*/) { return std::nullopt; }
  virtual ZUMImplemented adViewWillDismissScreen(ZUMBannerView& /*view*/) { return std::nullopt; }
  virtual ZUMImplemented adViewDidDismissScreen(ZUMBannerView& /*view*/) { return std::nullopt; }
  virtual ZUMImplemented adViewWillLeaveApplication(ZUMBannerView& /*view*/) { return std::nullopt; }
};
