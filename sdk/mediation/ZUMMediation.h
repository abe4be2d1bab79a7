// The mediation area's side of the interfaces that wait for it: the slot's
// (ZUMSlotMediation: the configuration of a mediation response), the click tracker's
// (ZUMClickTrackerMediation: filling ping templates) and the hub's start-up hook that
// lists the adapter classes present. ZUMRegisterMediation installs them once; the SDK's
// load entry calls it.
//
// Until the waterfall exists a slot gets no mediation manager, so a usable
// configuration still ends its load with code 8.
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
  void cancelMediation(ZUMMAdManager& manager) override;
  bool changeMediatedAdType(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType) override;
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
