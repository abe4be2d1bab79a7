#include "sdk/rendering/ZUMWiggleGestureRecognizer.h"

#include <cmath>

#include "platform/base/MainThreadChecker.h"
#include "platform/ui/Touch.h"

std::shared_ptr<ZUMWiggleGestureRecognizer> ZUMWiggleGestureRecognizer::create() {
  return std::shared_ptr<ZUMWiggleGestureRecognizer>(new ZUMWiggleGestureRecognizer());
}

bool ZUMWiggleGestureRecognizer::isMovementInYAxisWithCurrentPoint(platform::Point current, platform::Point previous) {
  return std::fabs(current.y - previous.y) > kZUMWiggleMaximumVerticalMove;
}

void ZUMWiggleGestureRecognizer::touchesBegan(const platform::TouchList& touches, const platform::Event& event) {
  platform::assertMainThread();
  platform::GestureRecognizer::touchesBegan(touches, event);
  if (touches.size() != 1) setState(State::Failed);
}

void ZUMWiggleGestureRecognizer::turn(double delta, Step next) {
  if (distanceMoved_ < kZUMWiggleMinimumStretch) {
    setState(State::Failed);
    return;
  }
  distanceMoved_ = delta;
  gestureState_ = next;
}

void ZUMWiggleGestureRecognizer::touchesMoved(const platform::TouchList& touches, const platform::Event& event) {
  platform::GestureRecognizer::touchesMoved(touches, event);
  if (state() == State::Failed || touches.empty()) return;
  const auto view = this->view();
  const platform::Point current = touches.front()->locationInView(view.get());
  const platform::Point previous = touches.front()->previousLocationInView(view.get());
  if (isMovementInYAxisWithCurrentPoint(current, previous)) {
    setState(State::Failed);
    return;
  }
  const double delta = std::fabs(current.x - previous.x);
  const bool left = current.x < previous.x;
  const bool right = current.x > previous.x;
  switch (gestureState_) {
    case Nothing:
      if (left) return setState(State::Failed);
      distanceMoved_ += delta;
      gestureState_ = MovingRight;
      return;
    case MovingRight:
      if (left) return turn(delta, MovingLeft);
      break;
    case MovingLeft:
      if (right) return turn(delta, MovingRightAgain);
      break;
    case MovingRightAgain:
      if (left) return turn(delta, MovingLeftAgain);
      break;
    default:  // the last stretch: any move back to the right ends the wiggle
      if (right) return setState(State::Failed);
      break;
  }
  distanceMoved_ += delta;
}

void ZUMWiggleGestureRecognizer::touchesEnded(const platform::TouchList& touches, const platform::Event& event) {
  platform::GestureRecognizer::touchesEnded(touches, event);
  if (state() == State::Possible && gestureState_ == MovingLeftAgain) {
    setState(Recognized);
  } else {
    setState(State::Failed);
    gestureState_ = Nothing;
  }
}

void ZUMWiggleGestureRecognizer::touchesCancelled(const platform::TouchList& touches, const platform::Event& event) {
  platform::GestureRecognizer::touchesCancelled(touches, event);
  setState(State::Failed);
  reset();
}

void ZUMWiggleGestureRecognizer::reset() {
  platform::GestureRecognizer::reset();
  gestureState_ = Nothing;
  distanceMoved_ = 0;
}
