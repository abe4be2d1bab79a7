// The mediation area's side of the interfaces that wait for it: the slot's
// (ZUMSlotMediation: one waterfall per slot, the configuration of a mediation response
// and the pass over it), the click tracker's (ZUMClickTrackerMediation: filling ping
// templates) and the hub's start-up hook that lists the adapter classes present.
// ZUMRegisterMediation installs them once; the SDK's load entry calls it.
//
// Main thread, except the click tracker's side and the hook (any thread).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/network/ZUMClickTrackerMediation.h"
#include "sdk/request/ZUMSlotMediation.h"

class ZUMMediationSlotMediation final : public ZUMSlotMediation {
 public:
  std::shared_ptr<ZUMMAdManager> makeMediationManager(ZUMSlot& slot) override;
  std::shared_ptr<const ZUMMConfig> makeConfiguration(const std::string& appKey, const nlohmann::ordered_json& response,
                                                      platform::ErrorPtr* error) override;
  void mediate(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType,
               const std::shared_ptr<const ZUMMConfig>& config) override;
  double refreshInterval(const ZUMMConfig& config) override;
  void cancelMediation(ZUMMAdManager& manager) override;
  // False when the shown network's adapter cannot take the new size.
  bool changeMediatedAdType(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType) override;
  std::optional<std::string> mediatedAdNetworkClassName(const ZUMSlot& slot) override;
  void reportManualImpression(ZUMSlot& slot) override;
  void adoptMediationConnector(ZUMSlot& slot, const std::shared_ptr<ZUMMAdNetworkConnectorImpl>& connector) override;
};

class ZUMMediationClickTracking final : public ZUMClickTrackerMediation {
 public:
  std::optional<platform::URL> mediationURL(const std::string& urlTemplate,
                                            const ZUMMediationURLValues& values) override;
  // Through ZUMAdTelemetry when it is registered; the URLs as given otherwise.
  std::vector<platform::URL> trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                       const std::string& eventType) override;
};

void ZUMRegisterMediation();
