// View animations on the run loop's clock. Views have no separate presentation state
// here, so the animations block sets the values it sets at once, with one exception:
// frames that a layout pass inside the block gives to views from their constraints
// (LayoutSolver.h) move there over the duration (after the delay), easing in and out,
// on the main run loop's timers, and reach it when the completion runs. What makes
// the rest an animation is time: the completion runs once the duration (after the
// delay) has passed on the main run loop, in the common modes, so virtual time drives
// it in tests. A duration of 0 (or while animations are disabled) completes on a later
// turn of the main queue, never inside the call.
//
// Main thread only.
#pragma once

#include <functional>
#include <optional>

#include "platform/base/Clock.h"
#include "platform/ui/Geometry.h"

namespace platform {

class View;

class Animation {
 public:
  using Completion = std::function<void(bool finished)>;

  // The duration the platform gives a presentation, a dismissal or a rotation.
  static constexpr TimeInterval kDefaultDuration = 0.3;

  // Durations and delays that are negative or not finite count as 0.
  static void animate(TimeInterval duration, const std::function<void()>& animations, Completion completion = {});
  static void animate(TimeInterval duration, TimeInterval delay, const std::function<void()>& animations,
                      Completion completion = {});

  static bool areAnimationsEnabled();
  static void setAnimationsEnabled(bool enabled);
  // Runs `block` with animations disabled.
  static void performWithoutAnimation(const std::function<void()>& block);

  // Animations started and not completed yet.
  static int runningCount();

  // The layout pass's way to give a view its frame: moved over the running animations
  // block's duration when there is one (with a duration, animations enabled), else set
  // at once. A view already moving to `frame` outside a block keeps moving; any other
  // frame replaces the move.
  static void setLayoutFrame(View& view, const Rect& frame);
  // The frame a view is moving to, or nullopt when it is not moving.
  static std::optional<Rect> layoutTargetFrame(const View& view);
};

}  // namespace platform
