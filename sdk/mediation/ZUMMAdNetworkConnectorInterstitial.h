// The connector of an interstitial waterfall: it asks its adapter for an interstitial,
// tells the waterfall when one is ready, counts the impression when the network
// presents it, and brackets the network's full-screen period for the slot (a dismissal
// reported without its will-dismiss gives the slot both, in order).
//
// Main thread only, but for the adapter's reports.
#pragma once

#include <memory>

#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"

class ZUMMAdNetworkConnectorInterstitial final : public ZUMMAdNetworkConnectorImpl {
 public:
  static std::shared_ptr<ZUMMAdNetworkConnectorInterstitial> create(std::shared_ptr<const ZUMMConfig> config,
                                                                    std::shared_ptr<ZUMMAdNetworkConfig> networkConfig);

  // Any type but an interstitial fails the attempt (code 11).
  void getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>& adType) override;
  bool calledWillDismissInterstitial() const { return calledWillDismissInterstitial_; }

 protected:
  void handleDidFailAd(const platform::ErrorPtr& error) override;
  void handleDidFailInterstitial(const platform::ErrorPtr& error) override { handleDidFailAd(error); }
  void handleDidReceiveInterstitial() override;
  void handleWillPresentInterstitial() override;
  void handleWillDismissInterstitial() override;
  void handleDidDismissInterstitial() override;
  void handleWillLeaveApplication() override { relayLeaveApplication(); }
  std::string className() const override { return "ZUMMAdNetworkConnectorInterstitial"; }

 private:
  using ZUMMAdNetworkConnectorImpl::ZUMMAdNetworkConnectorImpl;

  bool calledWillDismissInterstitial_ = false;
};
