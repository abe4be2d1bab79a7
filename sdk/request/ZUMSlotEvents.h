// What the slot tells the event area: its event log (kept by the slot's logger), the
// MRAID page events of its ads, impression monitoring and the volume notice. The area
// implements it and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr), every operation is skipped.
//
// Called on the main thread. MRAIDAdDidUnload also runs from the slot's destructor, so it
// receives only the ad.
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAd;
class ZUMSlot;

class ZUMSlotEvents : public ZUMSharedInterface<ZUMSlotEvents> {
 public:
  virtual ~ZUMSlotEvents() = default;

  // One event of the slot's log ("loading_started", "url_fetching_failed" ...).
  virtual void logEvent(ZUMSlot& slot, const std::string& name, const nlohmann::ordered_json& info) = 0;
  // The ad's page is gone: tell its MRAID event handling.
  virtual void MRAIDAdDidUnload(const std::shared_ptr<ZUMAd>& ad) = 0;
  // A load succeeded: start impression monitoring (the slot keeps the monitor).
  virtual void startImpressionMonitoring(ZUMSlot& slot) = 0;
  // The volume notification after an ad page loaded.
  virtual void postVolumeNotification(ZUMSlot& slot) = 0;
};
