// View animations on the run loop's clock. Views have no separate presentation state
// here, so the animations block sets the final values at once; what makes it an
// animation is time: the completion runs once the duration (after the delay) has
// passed on the main run loop, in the common modes, so virtual time drives it in tests.
// A duration of 0 (or while animations are disabled) completes on a later turn of
// the main queue, never inside the call.
//
// Main thread only.
#pragma once

#include <functional>

#include "platform/base/Clock.h"

namespace platform {

class Animation {
 public:
  using Completion = std::function<void(bool finished)>;

  // The duration the platform gives a presentation, a dismissal or a rotation.
  static constexpr TimeInterval kDefaultDuration = 0.3;

  // Durations and delays that are negative or not finite count as 0.
  static void animate(TimeInterval duration, const std::function<void()>& animations,
                      Completion completion = {});
  static void animate(TimeInterval duration, TimeInterval delay,
                      const std::function<void()>& animations, Completion completion = {});

  static bool areAnimationsEnabled();
  static void setAnimationsEnabled(bool enabled);
  // Runs `block` with animations disabled.
  static void performWithoutAnimation(const std::function<void()>& block);

  // Animations started and not completed yet.
  static int runningCount();
};

}  // namespace platform
