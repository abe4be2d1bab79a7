// What the ad view asks of telemetry: the event logger of its tree in the logging
// hierarchy (its slot's, once the slot has linked it). Telemetry implements it and the
// SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr): ad views have no logger.
//
// Main thread (the ad view's).
#pragma once

#include <memory>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdView;
class ZUMFennickLogger;

class ZUMAdViewLogging : public ZUMSharedInterface<ZUMAdViewLogging> {
 public:
  virtual ~ZUMAdViewLogging() = default;

  // The logger the hierarchy keeps for the ad view's root; nullptr when none.
  virtual std::shared_ptr<ZUMFennickLogger> loggerForAdView(const std::shared_ptr<ZUMAdView>& adView) = 0;
};
