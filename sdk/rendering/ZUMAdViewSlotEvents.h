// The rendering area's side of the slot's events (ZUMSlotEvents): the slot's load events
// in their logged form, the end of an ad's MRAID life, and the volume notice, through
// the slot's ZUMSlotEventHandler. The SDK's load entry installs it with
// ZUMSlotEvents::setShared().
//
// A slot's events are dictionaries under the one name "slot": a count {"slot": {<key>: 1}}
// or a value {"slot": <value>}. They go to the event sink given at construction (none:
// dropped); the SDK's load entry gives one that hands them to the slot's logger.
//
// Main thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "sdk/request/ZUMSlotEvents.h"

// Receives each logged event of a slot. Any thread may install it; called on the main thread.
using ZUMSlotEventSink = std::function<void(ZUMSlot& slot, const nlohmann::ordered_json& event)>;

class ZUMAdViewSlotEvents final : public ZUMSlotEvents {
 public:
  explicit ZUMAdViewSlotEvents(ZUMSlotEventSink sink = {}) : sink_(std::move(sink)) {}

  // The logged form of one of the slot's steps; "loading_started" is preceded by the
  // ad unit's context when the slot has one.
  static std::vector<nlohmann::ordered_json> eventsForStep(const ZUMSlot& slot, const std::string& name,
                                                           const nlohmann::ordered_json& info);

  void logEvent(ZUMSlot& slot, const std::string& name, const nlohmann::ordered_json& info) override;
  void MRAIDAdDidUnload(const std::shared_ptr<ZUMAd>& ad) override;
  // The impression monitor lives with the visibility monitors; until it is there the
  // owners' own impression calls count.
  void startImpressionMonitoring(ZUMSlot& slot) override;
  void postVolumeNotification(ZUMSlot& slot) override;

 private:
  ZUMSlotEventSink sink_;
};
