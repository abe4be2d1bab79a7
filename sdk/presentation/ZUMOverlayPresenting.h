// How an SDK full-screen controller reaches the screen: the modal presenter by default,
// the transparent and resize presenters for see-through overlays. The controller owns
// its presenter; the presenter knows the controller weakly. Main thread only.
#pragma once

#include <functional>
#include <memory>

namespace platform {
class ViewController;
}

class ZUMViewController;

class ZUMOverlayPresenting {
 public:
  virtual ~ZUMOverlayPresenting() = default;

  // Shows presentedViewController() from `host`; the completion runs once shown.
  virtual void presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                         std::function<void()> completion) = 0;
  // The controller from which further controllers are presented while this presenter
  // shows its controller; nullptr when none.
  virtual std::shared_ptr<platform::ViewController> presentationViewController() const = 0;
  // Takes the presented controller off the screen, then runs the handler (may be empty).
  virtual void dismissWithCompletionHandler(std::function<void()> handler) = 0;
  // The presented controller's allowed orientations changed.
  virtual void setNeedsUpdateOrientation() = 0;
  virtual std::shared_ptr<ZUMViewController> presentedViewController() const = 0;
  // Called by ZUMViewController::setPresenter().
  virtual void setPresentedViewController(const std::shared_ptr<ZUMViewController>& controller) = 0;
  virtual bool isReadyToPresent() const = 0;
};
