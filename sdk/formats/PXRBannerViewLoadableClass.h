// The publisher banner as an ad class of the ad loader (ad type "-1"): its delegate
// protocol, its refusal of a loader whose delegate names no sizes, the sizes it asks for,
// and the banner connector of a "banner" network entry. ZUMRegisterFormats registers it
// under "PXRBannerView".
//
// Immutable; main thread (it asks the loader's delegate).
#pragma once

#include "sdk/request/ZUMLoadable.h"

class PXRBannerViewLoadableClass final : public ZUMLoadableClass {
 public:
  static void registerClass();

  std::string requiredDelegateProtocol() const override { return "PXRBannerAdLoaderDelegate"; }
  bool delegateConformsToRequiredProtocol(const ZUMAdLoaderDelegate& delegate) const override;
  // {"allowed_response_types": ["iba"], "sz_array": the sizes as text} when the delegate
  // names sizes; an empty dictionary otherwise.
  std::optional<nlohmann::ordered_json> requestParametersForAdLoader(ZUMAdLoader& loader) const override;
  // The delegate's sizes as it answered them.
  std::vector<ZUMAdSize> validAdSizesForAdLoader(ZUMAdLoader& loader) const override;
  // False with code 12 when the loader's delegate names no sizes.
  [[nodiscard]] bool canInitWithAdLoader(ZUMAdLoader& loader, platform::ErrorPtr* error) const override;
  // A banner connector for a "banner" entry; nullptr for any other.
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config,
      const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) const override;
};
