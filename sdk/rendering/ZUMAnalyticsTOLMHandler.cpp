#include "sdk/rendering/ZUMAnalyticsTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegateProtocol.h"
#include "sdk/request/ZUMSlotTelemetry.h"

std::shared_ptr<ZUMAnalyticsTOLMHandler> ZUMAnalyticsTOLMHandler::create() {
  return std::shared_ptr<ZUMAnalyticsTOLMHandler>(new ZUMAnalyticsTOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMAnalyticsTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"logBraskEvent", action(&ZUMAnalyticsTOLMHandler::logBraskEvent)}};
  return table;
}

void ZUMAnalyticsTOLMHandler::logBraskEvent(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  const auto name = ZUMStringForKey(parameters, "eventName");
  const auto eventID = ZUMStringForKey(parameters, "eventId");
  if (!name || !eventID) return;
  if (auto telemetry = ZUMSlotTelemetry::shared()) telemetry->logAnalyticsEvent(*name, *eventID);
  auto delegate = adView.delegate();
  if (!delegate) return;
  if (*name == "_ai") delegate->adViewDidRecordImpression(adView);
  if (*name == "_ac") delegate->adViewDidRecordClick(adView);
}
