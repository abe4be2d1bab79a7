#include "sdk/mediation/ZUMMediation.h"

#include "platform/base/MainThreadChecker.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/mediation/ZUMMAdNetworkAdapterImpl.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMUtilities.h"
#include "sdk/request/ZUMAdTelemetry.h"

std::shared_ptr<ZUMMAdManager> ZUMMediationSlotMediation::makeMediationManager(ZUMSlot&) { return nullptr; }

std::shared_ptr<const ZUMMConfig> ZUMMediationSlotMediation::makeConfiguration(const std::string& appKey,
                                                                               const nlohmann::ordered_json& response,
                                                                               platform::ErrorPtr* error) {
  platform::assertMainThread();
  return ZUMMConfig::create(appKey, response, error);
}

void ZUMMediationSlotMediation::cancelMediation(ZUMMAdManager&) {}

bool ZUMMediationSlotMediation::changeMediatedAdType(ZUMSlot&, const std::shared_ptr<ZUMAdType>&) { return false; }

std::optional<platform::URL> ZUMMediationClickTracking::mediationURL(const std::string& urlTemplate,
                                                                     const ZUMMediationURLValues& values) {
  return ZUMMUtilities::mediationURLFrom(urlTemplate, values);
}

std::vector<platform::URL> ZUMMediationClickTracking::trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                                                const std::string& eventType) {
  auto telemetry = ZUMAdTelemetry::shared();
  return telemetry ? telemetry->trackingURLsWithAdEventID(urls, eventType) : urls;
}

void ZUMRegisterMediation() {
  ZUMSlotMediation::setShared(std::make_shared<ZUMMediationSlotMediation>());
  ZUMClickTrackerMediation::setShared(std::make_shared<ZUMMediationClickTracking>());
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.availableAdapterNamesInSet = &ZUMMAdNetworkAdapterImpl::availableAdapterNamesInSet;
  });
}
