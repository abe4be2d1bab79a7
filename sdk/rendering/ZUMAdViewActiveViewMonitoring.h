// What the owner of an ad view (the slot, or a native ad's view policy) is told when the
// ad's page asks to start or stop active-view reporting. `receiver` names who receives
// the measurements; the ad view's reporter always passes 2, the creative's own page.
//
// Called on the main thread.
#pragma once

#include <cstdint>

class ZUMAdViewActiveViewMonitoring {
 public:
  virtual ~ZUMAdViewActiveViewMonitoring() = default;
  virtual void activeViewVisibilityChanged(bool visible) = 0;
  // Whether the owner accepts to report.
  virtual bool activeViewMonitoringStarted(std::uint64_t receiver) = 0;
  virtual void activeViewMonitoringDidStop(std::uint64_t receiver) = 0;
};
