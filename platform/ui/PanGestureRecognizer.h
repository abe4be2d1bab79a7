// Recognizes dragging: once the fingers have moved 10 points the gesture begins, then
// changes with every move and ends when the fingers lift. A continuous gesture:
// possible -> began -> changed... -> ended (or cancelled), or failed when the fingers
// lift before it began.
//
// Main thread only.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/ui/GestureRecognizer.h"

namespace platform {

class PanGestureRecognizer : public GestureRecognizer {
 public:
  static std::shared_ptr<PanGestureRecognizer> create();

  std::size_t minimumNumberOfTouches() const { return minimumTouches_; }
  void setMinimumNumberOfTouches(std::size_t n) { minimumTouches_ = n < 1 ? 1 : n; }
  std::size_t maximumNumberOfTouches() const { return maximumTouches_; }
  void setMaximumNumberOfTouches(std::size_t n) { maximumTouches_ = n; }

  // How far the fingers have moved since the gesture began (or since the last
  // setTranslation), in `view`'s coordinate system (nullptr: the window's).
  Point translationInView(const View* view) const;
  void setTranslation(Point translation, const View* view);

  static constexpr double kHysteresis = 10.0;

  void touchesBegan(const TouchList& touches, const Event& event) override;
  void touchesMoved(const TouchList& touches, const Event& event) override;
  void touchesEnded(const TouchList& touches, const Event& event) override;
  void touchesCancelled(const TouchList& touches, const Event& event) override;
  void reset() override;

 protected:
  PanGestureRecognizer() = default;

 private:
  std::size_t minimumTouches_ = 1;
  std::size_t maximumTouches_ = static_cast<std::size_t>(-1);
  bool started_ = false;
  Point origin_;  // window coordinates; translation is measured from here
};

}  // namespace platform
