// What the rendering area asks of the presentation area about the controller that shows
// an ad view: the orientation that controller forces its ad into. The presentation area
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

class ZUMAdViewPresentation : public ZUMSharedInterface<ZUMAdViewPresentation> {
 public:
  virtual ~ZUMAdViewPresentation() = default;

  // The interface orientation (1 to 4) that `controller`, an ad view's view controller,
  // forces its ad into; 0 when it forces none.
  virtual platform::InterfaceOrientation forcedAdOrientation(const platform::ViewController& controller) = 0;
};
