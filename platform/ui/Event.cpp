#include "platform/ui/Event.h"

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"

namespace platform {

Event::Event(std::vector<std::shared_ptr<Touch>> touches)
    : timestamp_(clock().monotonicNow()), touches_(std::move(touches)) {
  std::erase(touches_, nullptr);
}

std::vector<std::shared_ptr<Touch>> Event::touchesForView(const View* view) const {
  std::vector<std::shared_ptr<Touch>> result;
  for (const auto& t : touches_) {
    if (t->view().get() == view) result.push_back(t);
  }
  return result;
}

std::vector<std::shared_ptr<Touch>> Event::touchesForWindow(const Window* window) const {
  std::vector<std::shared_ptr<Touch>> result;
  for (const auto& t : touches_) {
    if (t->window().get() == window) result.push_back(t);
  }
  return result;
}

std::vector<std::shared_ptr<Touch>> Event::touchesForGestureRecognizer(const GestureRecognizer* recognizer) const {
  std::vector<std::shared_ptr<Touch>> result;
  for (const auto& t : touches_) {
    for (const auto& r : t->gestureRecognizers()) {
      if (r.get() == recognizer) {
        result.push_back(t);
        break;
      }
    }
  }
  return result;
}

}  // namespace platform
