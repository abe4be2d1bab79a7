// Recognizes taps: the required number of fingers come down and lift without moving
// more than 10 points, the required number of times (the touches' tap count). A
// discrete gesture: possible -> recognized, or failed.
//
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/GestureRecognizer.h"

namespace platform {

class TapGestureRecognizer : public GestureRecognizer {
 public:
  static std::shared_ptr<TapGestureRecognizer> create();

  int numberOfTapsRequired() const { return tapsRequired_; }
  void setNumberOfTapsRequired(int taps) { tapsRequired_ = taps < 1 ? 1 : taps; }
  int numberOfTouchesRequired() const { return touchesRequired_; }
  void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches < 1 ? 1 : touches; }

  void touchesBegan(const TouchList& touches, const Event& event) override;
  void touchesMoved(const TouchList& touches, const Event& event) override;
  void touchesEnded(const TouchList& touches, const Event& event) override;
  void touchesCancelled(const TouchList& touches, const Event& event) override;
  void reset() override;

 protected:
  TapGestureRecognizer() = default;

 private:
  struct Start {
    const Touch* touch;
    Point location;
  };
  int tapsRequired_ = 1;
  int touchesRequired_ = 1;
  std::size_t touchesSeen_ = 0;
  std::vector<Start> starts_;
};

}  // namespace platform
