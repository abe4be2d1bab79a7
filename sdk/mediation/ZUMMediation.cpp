#include "sdk/mediation/ZUMMediation.h"

#include "platform/base/MainThreadChecker.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/mediation/ZUMMAdManager.h"
#include "sdk/mediation/ZUMMAdNetworkAdapterImpl.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"
#include "sdk/mediation/ZUMMAdapterCustomEvents.h"
#include "sdk/mediation/ZUMMAdapterHTML.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMUtilities.h"
#include "sdk/mediation/ZUMMediationNativeMediation.h"
#include "sdk/request/ZUMAdTelemetry.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotResponseProcessing.h"

std::shared_ptr<ZUMMAdManager> ZUMMediationSlotMediation::makeMediationManager(ZUMSlot& slot) {
  return ZUMMAdManager::create(slot.shared_from_this());
}

std::shared_ptr<const ZUMMConfig> ZUMMediationSlotMediation::makeConfiguration(const std::string& appKey,
                                                                               const nlohmann::ordered_json& response,
                                                                               platform::ErrorPtr* error) {
  platform::assertMainThread();
  return ZUMMConfig::create(appKey, response, error);
}

void ZUMMediationSlotMediation::mediate(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType,
                                        const std::shared_ptr<const ZUMMConfig>& config) {
  platform::assertMainThread();
  if (auto manager = slot.mediationManager()) return manager->mediateForAdType(adType, config);
  // A slot made before mediation was installed has no waterfall to run.
  slot.didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorNoMediationAdapter), false);
}

double ZUMMediationSlotMediation::refreshInterval(const ZUMMConfig& config) { return config.refreshInterval(); }

void ZUMMediationSlotMediation::cancelMediation(ZUMMAdManager& manager) { manager.cancel(); }

bool ZUMMediationSlotMediation::changeMediatedAdType(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType) {
  platform::assertMainThread();
  auto manager = slot.mediationManager();
  return manager && manager->changeAdTypeTo(adType);
}

std::optional<std::string> ZUMMediationSlotMediation::mediatedAdNetworkClassName(const ZUMSlot& slot) {
  auto manager = slot.mediationManager();
  auto connector = manager ? manager->receivedConnector() : nullptr;
  auto entry = connector ? connector->networkConfig() : nullptr;
  return entry ? entry->adapterClass() : std::nullopt;
}

void ZUMMediationSlotMediation::reportManualImpression(ZUMSlot& slot) {
  platform::assertMainThread();
  auto manager = slot.mediationManager();
  if (auto connector = manager ? manager->receivedConnector() : nullptr) connector->reportManualImpression();
}

void ZUMMediationSlotMediation::adoptMediationConnector(ZUMSlot& slot,
                                                        const std::shared_ptr<ZUMMAdNetworkConnectorImpl>& connector) {
  platform::assertMainThread();
  auto manager = slot.mediationManager();
  if (!manager || !connector) return;
  auto previousManager = connector->adManager();
  auto previous = previousManager ? previousManager->slot() : nullptr;
  // A connector already of this slot changes nothing.
  if (previous.get() == &slot) return;
  auto processing = ZUMSlotResponseProcessing::shared();
  if (previous && previous->ad() && processing) processing->finishedLoadingAdResponse(slot, previous->ad());
  manager->adoptReceivedConnector(connector);
}

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
  ZUMNativeMediation::setShared(std::make_shared<ZUMMediationNativeMediation>());
  ZUMMAdapterCustomEvents::registerClass();
  ZUMMAdapterHTML::registerClass();
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.availableAdapterNamesInSet = &ZUMMAdNetworkAdapterImpl::availableAdapterNamesInSet;
  });
}
