// The user's finger in tests: taps, swipes and touch sequences delivered to a window
// as the platform's event source would deliver them. Time does not move between the
// steps (tests move it with TestEnvironment::advance when it matters).
//
//   testenv::TouchControls::tap(window, {20, 30});
//   testenv::TouchControls::touchSequence(window, {{10, 10}, {40, 10}, {10, 10}});
//
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/Geometry.h"

namespace platform {
class Touch;
class Window;
}  // namespace platform

namespace testenv {

class TouchControls {
 public:
  // One finger down and up at `point` (window coordinates).
  static void tap(const std::shared_ptr<platform::Window>& window, platform::Point point);
  // Taps the topmost visible window whose frame holds `point` (screen coordinates).
  // Returns false when no window is there.
  static bool tapOnScreen(platform::Point point);
  // One finger down at the first point, moved through the others, lifted at the last.
  // Fewer than two points: a tap at the only point, or nothing.
  static void touchSequence(const std::shared_ptr<platform::Window>& window,
                            const std::vector<platform::Point>& points);
  // A straight finger movement in `steps` moves (at least 1).
  static void swipe(const std::shared_ptr<platform::Window>& window, platform::Point from, platform::Point to,
                    int steps = 5);

  // Step by step: a finger goes down, moves, and lifts or is cancelled by the system.
  static std::shared_ptr<platform::Touch> touchDown(const std::shared_ptr<platform::Window>& window,
                                                    platform::Point point);
  static void moveTo(const std::shared_ptr<platform::Touch>& touch, platform::Point point);
  static void lift(const std::shared_ptr<platform::Touch>& touch);
  static void cancel(const std::shared_ptr<platform::Touch>& touch);
};

}  // namespace testenv
