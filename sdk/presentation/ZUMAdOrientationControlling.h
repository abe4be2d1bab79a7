// The orientation side of an SDK full-screen controller whose ad asks for particular
// orientations (the ad-app controllers). The modal presenter re-orients such a
// controller when the ad's request changes; it finds it by a cast to this interface.
// Main thread only.
#pragma once

#include "platform/ui/InterfaceOrientation.h"

class ZUMAdOrientationControlling {
 public:
  virtual ~ZUMAdOrientationControlling() = default;
  // What the ad asks for, as a mask (bit 1 << orientation); 0 when it asks nothing.
  virtual platform::InterfaceOrientationMask adOrientations() const = 0;
  // The orientation the ad's view is turned into inside the platform's (1 portrait,
  // 3 landscape right); 0 when none is forced.
  virtual platform::InterfaceOrientation forcedAdOrientation() const = 0;
  virtual void setForcedAdOrientation(platform::InterfaceOrientation orientation) = 0;
  // Seconds that a forced re-orientation animates for.
  virtual double orientationUpdateAnimationDuration() const = 0;
};
