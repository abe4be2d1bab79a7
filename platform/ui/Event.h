// A touch event: the touches that changed or stayed put at one moment. The event
// source builds one per change and hands it to the window (Window::sendEvent). A value;
// main thread only, like the touches it holds.
#pragma once

#include <memory>
#include <vector>

#include "platform/base/Clock.h"

namespace platform {

class GestureRecognizer;
class Touch;
class View;
class Window;

class Event {
 public:
  // Stamped with the platform clock.
  explicit Event(std::vector<std::shared_ptr<Touch>> touches);

  TimeInterval timestamp() const { return timestamp_; }
  const std::vector<std::shared_ptr<Touch>>& allTouches() const { return touches_; }
  std::vector<std::shared_ptr<Touch>> touchesForView(const View* view) const;
  std::vector<std::shared_ptr<Touch>> touchesForWindow(const Window* window) const;
  std::vector<std::shared_ptr<Touch>> touchesForGestureRecognizer(const GestureRecognizer* recognizer) const;

 private:
  TimeInterval timestamp_;
  std::vector<std::shared_ptr<Touch>> touches_;
};

}  // namespace platform
