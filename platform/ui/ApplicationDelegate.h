// What the host application tells the platform about itself: the callbacks of its
// life cycle, its main window and the orientations it supports. Every operation is
// optional. Called on the main thread.
#pragma once

#include <memory>
#include <optional>

#include "platform/ui/InterfaceOrientation.h"

namespace platform {

class Application;
class Window;

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;

  virtual bool applicationDidFinishLaunching(Application&) { return true; }
  virtual void applicationDidBecomeActive(Application&) {}
  virtual void applicationWillResignActive(Application&) {}
  virtual void applicationDidEnterBackground(Application&) {}
  virtual void applicationWillEnterForeground(Application&) {}

  // The application's main window; nullptr when the delegate has none.
  virtual std::shared_ptr<Window> window() { return nullptr; }
  // The orientations allowed in `window`; nullopt leaves it to the information
  // dictionary.
  virtual std::optional<InterfaceOrientationMask> supportedInterfaceOrientationsForWindow(
      Application&, const std::shared_ptr<Window>& /*window*/) {
    return std::nullopt;
  }
};

}  // namespace platform
