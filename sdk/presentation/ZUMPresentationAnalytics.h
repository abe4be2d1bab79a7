// What the full-screen screens ask of telemetry: the analytics bridge's current screen,
// read before an interstitial covers it and named after it while the ad is up. The area
// implements it and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr), or without a bridge: no screen is known and
// nothing is set.
//
// Called on the main thread.
#pragma once

#include <optional>
#include <string>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMPresentationAnalytics : public ZUMSharedInterface<ZUMPresentationAnalytics> {
 public:
  struct Screen {
    std::optional<std::string> name;
    std::optional<std::string> screenClass;
  };

  virtual ~ZUMPresentationAnalytics() = default;

  // The host's current screen (both empty without a bridge).
  virtual Screen currentScreen() = 0;
  // Names the current screen, with no class.
  virtual void setScreenName(const std::string& name) = 0;
};
