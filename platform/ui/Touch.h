// One finger on the screen, from the moment it touches down until it lifts or the
// system cancels it: its phase, its location (current and previous) in its window, its
// tap count and the view it began in. The event source (a window's sendEvent, the test
// controls) moves it through its phases; everybody else reads it.
//
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/base/Clock.h"
#include "platform/ui/Geometry.h"

namespace platform {

class GestureRecognizer;
class View;
class Window;

class Touch {
 public:
  enum class Phase { Began, Moved, Stationary, Ended, Cancelled };

  // A touch beginning at `locationInWindow`, stamped with the platform clock.
  static std::shared_ptr<Touch> create(const std::shared_ptr<Window>& window, Point locationInWindow);

  Phase phase() const { return phase_; }
  TimeInterval timestamp() const { return timestamp_; }
  int tapCount() const { return tapCount_; }
  std::shared_ptr<Window> window() const { return window_.lock(); }
  // The view the touch began in (hit testing); nullptr before delivery or when none.
  std::shared_ptr<View> view() const { return view_.lock(); }
  // The recognizers that receive this touch.
  std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers() const;

  Point locationInWindow() const { return location_; }
  Point previousLocationInWindow() const { return previousLocation_; }
  // In `view`'s bounds coordinates; nullptr stands for the window.
  Point locationInView(const View* view) const;
  Point previousLocationInView(const View* view) const;

  // --- For the event source ---------------------------------------------------------
  // Moves the touch (phase Moved, previous location := current); a location that is
  // not finite is ignored.
  void moveTo(Point locationInWindow);
  // Sets the phase and stamps the touch with the platform clock.
  void setPhase(Phase phase);
  void setTapCount(int count) { tapCount_ = count < 1 ? 1 : count; }
  void setView(const std::shared_ptr<View>& view) { view_ = view; }
  void setGestureRecognizers(const std::vector<std::shared_ptr<GestureRecognizer>>& recognizers);

 private:
  Touch() = default;

  Phase phase_ = Phase::Began;
  TimeInterval timestamp_ = 0;
  int tapCount_ = 1;
  std::weak_ptr<Window> window_;
  std::weak_ptr<View> view_;
  std::vector<std::weak_ptr<GestureRecognizer>> recognizers_;
  Point location_;
  Point previousLocation_;
};

}  // namespace platform
