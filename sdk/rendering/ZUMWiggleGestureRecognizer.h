// Recognizes a one-finger horizontal wiggle: right, left, right, left, each of the first
// three stretches at least 15 points long, no move with more than 5 points of vertical
// change. Recognized when the finger lifts after the fourth stretch has begun; any
// broken rule fails the sequence. Every ad view installs one to open the debug dialog.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/ui/GestureRecognizer.h"

// The shortest stretch that counts, and the largest vertical change of one move.
inline constexpr double kZUMWiggleMinimumStretch = 15.0;
inline constexpr double kZUMWiggleMaximumVerticalMove = 5.0;

class ZUMWiggleGestureRecognizer final : public platform::GestureRecognizer {
 public:
  // The steps of a wiggle.
  enum Step : std::int64_t { Nothing = 0, MovingRight = 1, MovingLeft = 2, MovingRightAgain = 3, MovingLeftAgain = 4 };

  static std::shared_ptr<ZUMWiggleGestureRecognizer> create();

  void touchesBegan(const platform::TouchList& touches, const platform::Event& event) override;
  void touchesMoved(const platform::TouchList& touches, const platform::Event& event) override;
  void touchesEnded(const platform::TouchList& touches, const platform::Event& event) override;
  void touchesCancelled(const platform::TouchList& touches, const platform::Event& event) override;
  void reset() override;

  static bool isMovementInYAxisWithCurrentPoint(platform::Point current, platform::Point previous);
  std::int64_t gestureState() const { return gestureState_; }
  double distanceMoved() const { return distanceMoved_; }

 private:
  ZUMWiggleGestureRecognizer() = default;
  // A reversal after a stretch: too short fails, else a new stretch begins as `next`.
  void turn(double delta, Step next);

  double distanceMoved_ = 0;
  std::int64_t gestureState_ = Nothing;
};
