// The mediation area's side of the native area's interface (ZUMNativeMediation): the
// response type of a network entry and the native-ad connector of an entry. ZUMRegisterMediation installs it.
//
// Main thread.
#pragma once

#include "sdk/native/ZUMNativeMediation.h"

class ZUMMediationNativeMediation final : public ZUMNativeMediation {
 public:
  std::optional<std::string> responseType(const ZUMMAdNetworkConfig& networkConfig) override;
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> makeNativeAdConnector(
      const std::shared_ptr<const ZUMMConfig>& config,
      const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) override;
};
