// Recognizes a swipe: the required number of fingers move at least 50 points in one of
// the permitted directions, further along that axis than across it. A discrete
// gesture: possible -> recognized, or failed (wrong direction, or lifted too soon).
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/ui/GestureRecognizer.h"

namespace platform {

class SwipeGestureRecognizer : public GestureRecognizer {
 public:
  enum Direction : std::uint32_t { Right = 1 << 0, Left = 1 << 1, Up = 1 << 2, Down = 1 << 3 };

  static std::shared_ptr<SwipeGestureRecognizer> create();

  // A mask of Direction values; Right by default.
  std::uint32_t direction() const { return direction_; }
  void setDirection(std::uint32_t direction) { direction_ = direction; }
  int numberOfTouchesRequired() const { return touchesRequired_; }
  void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches < 1 ? 1 : touches; }

  static constexpr double kMinimumDistance = 50.0;

  void touchesBegan(const TouchList& touches, const Event& event) override;
  void touchesMoved(const TouchList& touches, const Event& event) override;
  void touchesEnded(const TouchList& touches, const Event& event) override;
  void touchesCancelled(const TouchList& touches, const Event& event) override;
  void reset() override;

 protected:
  SwipeGestureRecognizer() = default;

 private:
  std::uint32_t direction_ = Right;
  int touchesRequired_ = 1;
  bool started_ = false;
  Point start_;
};

}  // namespace platform
