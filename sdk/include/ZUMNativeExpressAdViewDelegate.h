// The host's delegate of a ZUMNativeExpressAdView: the banner callbacks under the native
// express view's names. Every operation is optional: the default answers std::nullopt
// ("not implemented"). Held weakly and read again for each callback; every callback
// arrives on the main thread.
#pragma once

#include "ZUMAdDelegate.h"
#include "ZUMImplemented.h"
#include "ZUMRequestError.h"

class ZUMNativeExpressAdView;

class ZUMNativeExpressAdViewDelegate : public ZUMAdDelegate {
 public:
  virtual ZUMImplemented nativeExpressAdViewDidReceiveAd(ZUMNativeExpressAdView& /*view*/) { return std::nullopt; }
  virtual ZUMImplemented nativeExpressAdViewDidFailToReceiveAdWithError(ZUMNativeExpressAdView& /*view*/,
                                                                        const ZUMRequestErrorPtr& /*error*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented nativeExpressAdViewWillPresentScreen(ZUMNativeExpressAdView& /*view*/) { return std::nullopt; }
  virtual ZUMImplemented nativeExpressAdViewWillDismissScreen(ZUMNativeExpressAdView& /*view*/) { return std::nullopt; }
  virtual ZUMImplemented nativeExpressAdViewDidDismissScreen(ZUMNativeExpressAdView& /*view*/) { return std::nullopt; }
  virtual ZUMImplemented nativeExpressAdViewWillLeaveApplication(ZUMNativeExpressAdView& /*view*/) {
    return std::nullopt;
  }
};
