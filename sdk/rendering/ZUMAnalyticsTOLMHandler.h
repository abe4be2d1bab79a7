// The page's "logBraskEvent" message: with both "eventName" and "eventId", the event goes
// to the analytics bridge (through telemetry's ZUMSlotTelemetry; nothing without it); the
// events "_ai" and "_ac" also tell the ad view's delegate of an impression or a click.
//
// Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMAnalyticsTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMAnalyticsTOLMHandler> create();
  const ActionTable* actionBlockDictionary() const override;

 private:
  ZUMAnalyticsTOLMHandler() = default;
  void logBraskEvent(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
};
