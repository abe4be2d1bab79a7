// What the rewarded video ad hears from its rewarded connectors: set-up, load results
// and the events of the ad being shown. Each call names the connector it comes from.
//
// Implemented by the rewarded video ad; held weakly by each connector. Called on the
// main thread (the connector moves its adapter's reports there first).
#pragma once

#include <memory>

#include "platform/base/Error.h"

class ZUMAdReward;
class ZUMMRewardBasedVideoAdNetworkConnectorImpl;

class ZUMMRewardBasedVideoAdConnectorDelegate {
 public:
  using Connector = ZUMMRewardBasedVideoAdNetworkConnectorImpl;
  virtual ~ZUMMRewardBasedVideoAdConnectorDelegate() = default;

  virtual void connectorDidSetUpRewardBasedVideoAd(Connector& connector) = 0;
  virtual void connectorDidFailToSetUpRewardBasedVideoAdWithError(Connector& connector,
                                                                  const platform::ErrorPtr& error) = 0;
  virtual void connectorDidReceiveRewardBasedVideoAd(Connector& connector) = 0;
  virtual void connectorDidFailToReceiveRewardBasedVideoAdWithError(Connector& connector,
                                                                    const platform::ErrorPtr& error) = 0;
  virtual void connectorDidReceiveClick(Connector& connector) = 0;
  // `reward`: the network's, nullptr when it gave none.
  virtual void connectorDidRewardUserWithReward(Connector& connector, const std::shared_ptr<ZUMAdReward>& reward) = 0;
  virtual void connectorDidOpenRewardBasedVideoAd(Connector& connector) = 0;
  virtual void connectorDidStartPlayingRewardBasedVideoAd(Connector& connector) = 0;
  virtual void connectorDidCloseRewardBasedVideoAd(Connector& connector) = 0;
  virtual void connectorWillLeaveApplication(Connector& connector) = 0;
};
