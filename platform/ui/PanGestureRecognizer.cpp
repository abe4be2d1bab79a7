#include "platform/ui/PanGestureRecognizer.h"

#include <cmath>

namespace platform {

std::shared_ptr<PanGestureRecognizer> PanGestureRecognizer::create() {
  return std::shared_ptr<PanGestureRecognizer>(new PanGestureRecognizer());
}

Point PanGestureRecognizer::translationInView(const View* view) const {
  const Point now = locationInView(nullptr);
  const Point delta{now.x - origin_.x, now.y - origin_.y};
  if (!view) return delta;
  // A vector converts as the difference of two converted points.
  const Point a = view->convertPointFromView({0, 0}, nullptr);
  const Point b = view->convertPointFromView(delta, nullptr);
  return {b.x - a.x, b.y - a.y};
}

void PanGestureRecognizer::setTranslation(Point translation, const View* view) {
  if (!std::isfinite(translation.x) || !std::isfinite(translation.y)) return;
  Point inWindow = translation;
  if (view) {
    const Point a = view->convertPointToView({0, 0}, nullptr);
    const Point b = view->convertPointToView(translation, nullptr);
    inWindow = {b.x - a.x, b.y - a.y};
  }
  const Point now = locationInView(nullptr);
  origin_ = {now.x - inWindow.x, now.y - inWindow.y};
}

void PanGestureRecognizer::touchesBegan(const TouchList&, const Event&) {
  if (state() == State::Possible) {
    origin_ = locationInView(nullptr);
    started_ = true;
  }
}

void PanGestureRecognizer::touchesMoved(const TouchList&, const Event&) {
  if (!started_) return;
  const std::size_t n = numberOfTouches();
  if (state() == State::Possible) {
    if (n < minimumTouches_ || n > maximumTouches_) return;
    const Point now = locationInView(nullptr);
    if (std::hypot(now.x - origin_.x, now.y - origin_.y) < kHysteresis) return;
    setState(State::Began);
  } else if (state() == State::Began || state() == State::Changed) {
    setState(State::Changed);
  }
}

void PanGestureRecognizer::touchesEnded(const TouchList& touches, const Event&) {
  if (touches.size() < numberOfTouches()) return;  // fingers left down
  if (state() == State::Began || state() == State::Changed) {
    setState(State::Ended);
  } else if (state() == State::Possible) {
    setState(State::Failed);
  }
}

void PanGestureRecognizer::touchesCancelled(const TouchList&, const Event&) {
  if (state() == State::Began || state() == State::Changed) {
    setState(State::Cancelled);
  } else {
    setState(State::Failed);
  }
}

void PanGestureRecognizer::reset() {
  started_ = false;
  origin_ = {};
}

}  // namespace platform
