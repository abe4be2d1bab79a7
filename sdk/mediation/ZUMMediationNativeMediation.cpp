#include "sdk/mediation/ZUMMediationNativeMediation.h"

#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"
#include "sdk/mediation/ZUMMediatedAd.h"
#include "ZUMMediatedNativeAd.h"
#include "sdk/mediation/ZUMMediatedNativeAdImpl.h"
#include "sdk/request/ZUMLoadable.h"

std::optional<std::string> ZUMMediationNativeMediation::responseType(const ZUMMAdNetworkConfig& networkConfig) {
  return networkConfig.responseType();
}

std::shared_ptr<ZUMMAdNetworkConnectorImpl> ZUMMediationNativeMediation::makeNativeAdConnector(
    const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) {
  return ZUMMAdNetworkConnectorNativeAd::create(config, networkConfig);
}

std::shared_ptr<ZUMLoadable> ZUMMediationNativeMediation::loadableAdForAdLoader(ZUMMediatedAd& ad, ZUMAdLoader& loader) {
  // The SDK's own network hands over its real native ads: they load as they are.
  if (auto* native = dynamic_cast<ZUMMediatedNativeAdImpl*>(&ad)) {
    if (auto own = std::dynamic_pointer_cast<ZUMLoadable>(native->ad())) return own;
  }
  return ad.loadableAdForAdLoader(loader);
}
