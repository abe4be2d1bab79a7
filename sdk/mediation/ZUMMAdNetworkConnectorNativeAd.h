// The connector of a native waterfall (the ad loader's and the native ad's): it asks its
// adapter for native ads of the loader's ad types with the loader's options, wraps the
// network's native ad (ZUMMediatedNativeAdImpl) and hands it to the waterfall. Other
// events of the network's ad reach the SDK through the ad's own notifications, so the
// connector ignores them.
//
// A native ad is taken from whichever adapter reports it; failures only from its own.
// Main thread only, but for the adapter's reports.
#pragma once

#include <memory>
#include <string>

#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"

class ZUMMAdNetworkConnectorNativeAd final : public ZUMMAdNetworkConnectorImpl {
 public:
  static std::shared_ptr<ZUMMAdNetworkConnectorNativeAd> create(std::shared_ptr<const ZUMMConfig> config,
                                                                std::shared_ptr<ZUMMAdNetworkConfig> networkConfig);

  // An adapter without native ads fails the attempt (code 11).
  void getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>& adType) override;
  // Asks `adapter` (named `adapterName`) for native ads of the configuration's types with
  // its options; the error (code 11) when there is no adapter or it has no native ads.
  [[nodiscard]] static platform::ErrorPtr askAdapterForNativeAd(Adapter* adapter, const std::string& adapterName,
                                                                const ZUMAdLoaderConfiguration* configuration);

 protected:
  void handleDidFailAd(const platform::ErrorPtr& error) override;
  void handleDidReceiveMediatedNativeAd(const std::shared_ptr<ZUMMediatedNativeAd>& ad,
                                        NativeHandling handling) override;
  void handleDidGetAdClick() override {}
  bool takesNativeAdsFromAnyAdapter() const override { return true; }
  std::string className() const override { return "ZUMMAdNetworkConnectorNativeAd"; }

 private:
  using ZUMMAdNetworkConnectorImpl::ZUMMAdNetworkConnectorImpl;
};
