#include "sdk/mediation/ZUMMediationNativeMediation.h"

#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"

std::optional<std::string> ZUMMediationNativeMediation::responseType(const ZUMMAdNetworkConfig& networkConfig) {
  return networkConfig.responseType();
}

std::shared_ptr<ZUMMAdNetworkConnectorImpl> ZUMMediationNativeMediation::makeNativeAdConnector(
    const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) {
  return ZUMMAdNetworkConnectorNativeAd::create(config, networkConfig);
}
