// What the rendering area asks of the presentation area about the controller that shows
// an ad view: the orientation that controller forces its ad into; and the debug dialog
// that a wiggle over an ad view opens. The presentation area
// implements it (ZUMAdAppAdViewPresentation) and the SDK's load entry installs it once
// with setShared().
//
// Unregistered (shared() is nullptr): no controller forces an orientation.
//
// Main thread only.
#pragma once

#include "platform/ui/InterfaceOrientation.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

namespace platform {
class ViewController;
}

class ZUMAdView;

class ZUMAdViewPresentation : public ZUMSharedInterface<ZUMAdViewPresentation> {
 public:
  virtual ~ZUMAdViewPresentation() = default;

  // The interface orientation (1 to 4) that `controller`, an ad view's view controller,
  // forces its ad into; 0 when it forces none.
  virtual platform::InterfaceOrientation forcedAdOrientation(const platform::ViewController& controller) = 0;
  // Presents the debug options dialog for `adView` (the ad unit of its opener's slot,
  // its creative information) from its view controller, in the slot's full-screen
  // session. The default opens nothing.
  virtual void presentDebugOptionsForAdView(ZUMAdView& /*adView*/) {}
};
