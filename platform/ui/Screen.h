// The device's screen: its bounds in points (orientation-dependent, origin 0,0) and
// its scale (pixels per point). The main screen starts as a 375 x 667 point screen at
// scale 2; a device profile or a test sets other values.
//
// Main thread only.
#pragma once

#include "platform/ui/Geometry.h"

namespace platform {

class Screen {
 public:
  static Screen& main();

  Rect bounds() const { return bounds_; }
  double scale() const { return scale_; }
  double nativeScale() const { return scale_; }

  // Device profile and tests. Sizes that are negative or not finite, and scales that
  // are not positive and finite, are refused.
  void setBoundsSize(Size size);
  void setScale(double scale);
  // Back to 375 x 667 at scale 2.
  void resetForTesting();

  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

 private:
  Screen() = default;

  Rect bounds_{0, 0, 375, 667};
  double scale_ = 2.0;
};

}  // namespace platform
