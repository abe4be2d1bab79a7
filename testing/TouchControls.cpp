#include "testing/TouchControls.h"

#include <algorithm>

#include "platform/ui/Event.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"

namespace testenv {

using platform::Event;
using platform::Point;
using platform::Touch;
using platform::Window;

namespace {
void send(const std::shared_ptr<Touch>& touch) {
  if (auto window = touch->window()) window->sendEvent(Event({touch}));
}
}  // namespace

std::shared_ptr<Touch> TouchControls::touchDown(const std::shared_ptr<Window>& window, Point point) {
  auto touch = Touch::create(window, point);
  send(touch);
  return touch;
}

void TouchControls::moveTo(const std::shared_ptr<Touch>& touch, Point point) {
  touch->moveTo(point);
  send(touch);
}

void TouchControls::lift(const std::shared_ptr<Touch>& touch) {
  touch->setPhase(Touch::Phase::Ended);
  send(touch);
}

void TouchControls::cancel(const std::shared_ptr<Touch>& touch) {
  touch->setPhase(Touch::Phase::Cancelled);
  send(touch);
}

void TouchControls::tap(const std::shared_ptr<Window>& window, Point point) { lift(touchDown(window, point)); }

bool TouchControls::tapOnScreen(Point point) {
  auto windows = Window::windows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const auto& window = *it;
    if (window->isHidden() || !window->frame().contains(point)) continue;
    tap(window, window->convertPointFromScreen(point));
    return true;
  }
  return false;
}

void TouchControls::touchSequence(const std::shared_ptr<Window>& window, const std::vector<Point>& points) {
  if (points.empty()) return;
  auto touch = touchDown(window, points.front());
  for (std::size_t i = 1; i < points.size(); ++i) moveTo(touch, points[i]);
  lift(touch);
}

void TouchControls::swipe(const std::shared_ptr<Window>& window, Point from, Point to, int steps) {
  steps = std::max(1, steps);
  std::vector<Point> points{from};
  for (int i = 1; i <= steps; ++i) {
    const double f = static_cast<double>(i) / steps;
    points.push_back({from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f});
  }
  touchSequence(window, points);
}

}  // namespace testenv
