// The host's delegate of a ZUMInterstitial. Every operation is optional: the default
// answers std::nullopt ("not implemented"), and the interstitial calls only what the
// delegate implements. Held weakly; called on the main thread, but for
// interstitialDidReceiveAdClick (on the thread of the slot's click) and the reward
// callbacks (on the thread that delivers the page's message).
#pragma once

#include <memory>

#include "ZUMAdDelegate.h"
#include "ZUMImplemented.h"
#include "ZUMRequestError.h"

class ZUMAdReward;
class ZUMInterstitial;

class ZUMInterstitialDelegate : public ZUMAdDelegate {
 public:
  virtual ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial& /*ad*/,
                                                                 const ZUMRequestErrorPtr& /*error*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented interstitialWillPresentScreen(ZUMInterstitial& /*ad*/) { return std::nullopt; }
  // The ad could not be shown full screen. Without this operation the interstitial
  // acts out a short show instead: will-present, will-dismiss, did-dismiss.
  virtual ZUMImplemented interstitialDidFailToPresentScreen(ZUMInterstitial& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented interstitialWillDismissScreen(ZUMInterstitial& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented interstitialDidDismissScreen(ZUMInterstitial& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented interstitialWillLeaveApplication(ZUMInterstitial& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented interstitialDidReceiveAdClick(ZUMInterstitial& /*ad*/) { return std::nullopt; }
};

// Implemented (besides ZUMInterstitialDelegate) by the owner of an interstitial that
// shows a rewarded video ad.
class ZUMInterstitialRewardBasedVideoAdDelegate {
 public:
  virtual ~ZUMInterstitialRewardBasedVideoAdDelegate() = default;
  virtual ZUMImplemented interstitialDidStartPlayingRewardBasedVideoAd(ZUMInterstitial& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented interstitialDidRewardUserWithReward(ZUMInterstitial& /*ad*/,
                                                             const std::shared_ptr<ZUMAdReward>& /*reward*/) {
    return std::nullopt;
  }
};
