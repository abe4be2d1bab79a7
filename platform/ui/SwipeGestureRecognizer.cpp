#include "platform/ui/SwipeGestureRecognizer.h"

#include <cmath>

namespace platform {

std::shared_ptr<SwipeGestureRecognizer> SwipeGestureRecognizer::create() {
  return std::shared_ptr<SwipeGestureRecognizer>(new SwipeGestureRecognizer());
}

void SwipeGestureRecognizer::touchesBegan(const TouchList&, const Event&) {
  if (numberOfTouches() > static_cast<std::size_t>(touchesRequired_)) {
    setState(State::Failed);
    return;
  }
  start_ = locationInView(nullptr);
  started_ = true;
}

void SwipeGestureRecognizer::touchesMoved(const TouchList&, const Event&) {
  if (!started_ || numberOfTouches() != static_cast<std::size_t>(touchesRequired_)) return;
  const Point now = locationInView(nullptr);
  const double dx = now.x - start_.x, dy = now.y - start_.y;
  const bool horizontal = std::fabs(dx) >= std::fabs(dy);
  const double distance = horizontal ? std::fabs(dx) : std::fabs(dy);
  if (distance < kMinimumDistance) return;
  const std::uint32_t moved = horizontal ? (dx > 0 ? Right : Left) : (dy > 0 ? Down : Up);
  setState((direction_ & moved) ? Recognized : State::Failed);
}

void SwipeGestureRecognizer::touchesEnded(const TouchList&, const Event&) {
  if (state() == State::Possible) setState(State::Failed);
}

void SwipeGestureRecognizer::touchesCancelled(const TouchList&, const Event&) { setState(State::Failed); }

void SwipeGestureRecognizer::reset() { started_ = false; }

}  // namespace platform
