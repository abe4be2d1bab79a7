// What the ad model and its fetcher ask of telemetry: the analytics bridge, which stamps
// tracking URLs with its ad-event id, and content fingerprinting, which a response
// switches on and off. The area implements it and the SDK's load entry installs it once
// with setShared().
//
// Unregistered (shared() is nullptr): tracking URLs are pinged as given and nothing
// starts or stops fingerprinting.
//
// Any thread (pings may be sent from any thread; the fetcher calls on the main thread).
#pragma once

#include <string>
#include <vector>

#include "platform/base/URL.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdTelemetry : public ZUMSharedInterface<ZUMAdTelemetry> {
 public:
  virtual ~ZUMAdTelemetry() = default;

  // The URLs to ping for an event ("_ac" a click, "_ai" an impression), with the
  // analytics ad-event id inserted where the analytics configuration asks for it; logs
  // the event. Without an analytics bridge: the URLs as given.
  virtual std::vector<platform::URL> trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                               const std::string& eventName) = 0;
  virtual void startContentHashing() = 0;
  virtual void stopContentHashing() = 0;
};
