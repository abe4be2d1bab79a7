#include "platform/ui/TapGestureRecognizer.h"

#include <cmath>

#include "platform/ui/Touch.h"

namespace platform {

namespace {
constexpr double kAllowableMovement = 10.0;
}  // namespace

std::shared_ptr<TapGestureRecognizer> TapGestureRecognizer::create() {
  return std::shared_ptr<TapGestureRecognizer>(new TapGestureRecognizer());
}

void TapGestureRecognizer::touchesBegan(const TouchList& touches, const Event&) {
  for (const auto& t : touches) starts_.push_back({t.get(), t->locationInWindow()});
  touchesSeen_ += touches.size();
  if (touchesSeen_ > static_cast<std::size_t>(touchesRequired_)) setState(State::Failed);
}

void TapGestureRecognizer::touchesMoved(const TouchList& touches, const Event&) {
  for (const auto& t : touches) {
    for (const auto& start : starts_) {
      if (start.touch != t.get()) continue;
      const Point now = t->locationInWindow();
      if (std::hypot(now.x - start.location.x, now.y - start.location.y) > kAllowableMovement) {
        setState(State::Failed);
        return;
      }
    }
  }
}

void TapGestureRecognizer::touchesEnded(const TouchList& touches, const Event&) {
  // Wait for the last finger of the tap.
  if (touches.size() < numberOfTouches()) return;
  if (touchesSeen_ != static_cast<std::size_t>(touchesRequired_)) {
    setState(State::Failed);
    return;
  }
  const int tapCount = touches.front()->tapCount();
  // Short of the required taps the recognizer stays possible for the next tap.
  if (tapCount % tapsRequired_ == 0) setState(Recognized);
}

void TapGestureRecognizer::touchesCancelled(const TouchList&, const Event&) { setState(State::Failed); }

void TapGestureRecognizer::reset() {
  touchesSeen_ = 0;
  starts_.clear();
}

}  // namespace platform
