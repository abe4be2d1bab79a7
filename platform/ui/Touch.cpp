#include "platform/ui/Touch.h"

#include <cmath>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Window.h"

namespace platform {

std::shared_ptr<Touch> Touch::create(const std::shared_ptr<Window>& window, Point locationInWindow) {
  std::shared_ptr<Touch> touch(new Touch());
  touch->window_ = window;
  if (std::isfinite(locationInWindow.x) && std::isfinite(locationInWindow.y)) {
    touch->location_ = locationInWindow;
  }
  touch->previousLocation_ = touch->location_;
  touch->timestamp_ = clock().monotonicNow();
  return touch;
}

std::vector<std::shared_ptr<GestureRecognizer>> Touch::gestureRecognizers() const {
  std::vector<std::shared_ptr<GestureRecognizer>> result;
  for (const auto& weak : recognizers_) {
    if (auto r = weak.lock()) result.push_back(std::move(r));
  }
  return result;
}

void Touch::setGestureRecognizers(const std::vector<std::shared_ptr<GestureRecognizer>>& recognizers) {
  recognizers_.assign(recognizers.begin(), recognizers.end());
}

Point Touch::locationInView(const View* view) const {
  auto window = window_.lock();
  if (!view || !window) return location_;
  return view->convertPointFromView(location_, window.get());
}

Point Touch::previousLocationInView(const View* view) const {
  auto window = window_.lock();
  if (!view || !window) return previousLocation_;
  return view->convertPointFromView(previousLocation_, window.get());
}

void Touch::moveTo(Point locationInWindow) {
  if (!std::isfinite(locationInWindow.x) || !std::isfinite(locationInWindow.y)) return;
  previousLocation_ = location_;
  location_ = locationInWindow;
  setPhase(Phase::Moved);
}

void Touch::setPhase(Phase phase) {
  phase_ = phase;
  timestamp_ = clock().monotonicNow();
}

}  // namespace platform
