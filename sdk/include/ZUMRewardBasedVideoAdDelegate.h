// The host's delegate of the rewarded video ad. Only the reward is required; every
// other operation is optional: the default answers std::nullopt ("not implemented").
// Held weakly; called on the main thread.
#pragma once

#include <memory>

#include "ZUMImplemented.h"
#include "ZUMRequestError.h"

class ZUMAdReward;
class ZUMRewardBasedVideoAd;

class ZUMRewardBasedVideoAdDelegate {
 public:
  virtual ~ZUMRewardBasedVideoAdDelegate() = default;

  virtual void rewardBasedVideoAdDidRewardUserWithReward(ZUMRewardBasedVideoAd& ad,
                                                         const std::shared_ptr<ZUMAdReward>& reward) = 0;
  virtual ZUMImplemented rewardBasedVideoAdDidFailToLoadWithError(ZUMRewardBasedVideoAd& /*ad*/,
                                                                  const ZUMRequestErrorPtr& /*error*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented rewardBasedVideoAdDidReceiveAd(ZUMRewardBasedVideoAd& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented rewardBasedVideoAdDidOpen(ZUMRewardBasedVideoAd& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented rewardBasedVideoAdDidStartPlaying(ZUMRewardBasedVideoAd& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented rewardBasedVideoAdDidClose(ZUMRewardBasedVideoAd& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented rewardBasedVideoAdWillLeaveApplication(ZUMRewardBasedVideoAd& /*ad*/) { return std::nullopt; }
};

// A delegate that also wants to hear clicks implements this too.
class ZUMRewardBasedVideoAdClickDelegate {
 public:
  virtual ~ZUMRewardBasedVideoAdClickDelegate() = default;
  virtual void rewardBasedVideoAdDidReceiveAdClick(ZUMRewardBasedVideoAd& ad) = 0;
};
