// The connector as a rewarded-video adapter sees it: the request questions and the
// reports of set-up, loading, playing and rewarding.
//
// Implemented by the SDK's rewarded connector (ZUMMRewardBasedVideoAdNetworkConnectorImpl).
// Adapters call it on the main thread.
#pragma once

#include <memory>

#include "ZUMMediationAdRequest.h"
#include "platform/base/Error.h"

class ZUMAdReward;
class ZUMMRewardBasedVideoAdNetworkAdapter;

class ZUMMRewardBasedVideoAdNetworkConnector : public virtual ZUMMediationAdRequest {
 public:
  using Adapter = ZUMMRewardBasedVideoAdNetworkAdapter;
  virtual void adapterDidSetUpRewardBasedVideoAd(Adapter& adapter) = 0;
  virtual void adapterDidFailToSetUpRewardBasedVideoAdWithError(Adapter& adapter, const platform::ErrorPtr& error) = 0;
  virtual void adapterDidGetAdClick(Adapter& adapter) = 0;
  virtual void adapterDidReceiveRewardBasedVideoAd(Adapter& adapter) = 0;
  virtual void adapterDidOpenRewardBasedVideoAd(Adapter& adapter) = 0;
  virtual void adapterDidStartPlayingRewardBasedVideoAd(Adapter& adapter) = 0;
  virtual void adapterDidCloseRewardBasedVideoAd(Adapter& adapter) = 0;
  virtual void adapterDidRewardUserWithReward(Adapter& adapter, const std::shared_ptr<ZUMAdReward>& reward) = 0;
  virtual void adapterWillLeaveApplication(Adapter& adapter) = 0;
  virtual void adapterDidFailToLoadRewardBasedVideoAdwithError(Adapter& adapter, const platform::ErrorPtr& error) = 0;
};
