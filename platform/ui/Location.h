// One position fix of the device: coordinates in degrees, horizontal accuracy in
// metres and the wall-clock time it was taken. A plain value.
#pragma once

#include "platform/base/Clock.h"

namespace platform {

struct Location {
  double latitude = 0;
  double longitude = 0;
  double horizontalAccuracy = 0;  // metres; negative means invalid
  TimeInterval timestamp = 0;     // seconds since 1970
  bool operator==(const Location&) const = default;
};

}  // namespace platform
