// The default presenter of an SDK full-screen controller: the platform's modal
// presentation, animated. For the full-screen style it hides the status bar (telling
// the session, which restores it at its end) and hides it again whenever the
// application returns to the foreground while it presents. When the ad of an ad-app
// controller asks for orientations it re-orients the controller: the light update lets
// the platform rotate; the forced update keeps the platform's orientation and turns the
// controller's view inside it.
//
// Idle -> presenting (foreground observer registered) -> idle after dismissal. Holds
// its controller weakly (the controller owns the presenter). Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "platform/base/NotificationCenter.h"
#include "sdk/presentation/ZUMOverlayPresenting.h"

class ZUMModalOverlayPresenter final : public ZUMOverlayPresenting,
                                       public std::enable_shared_from_this<ZUMModalOverlayPresenter> {
 public:
  static std::shared_ptr<ZUMModalOverlayPresenter> create();
  ~ZUMModalOverlayPresenter() override;
  ZUMModalOverlayPresenter(const ZUMModalOverlayPresenter&) = delete;
  ZUMModalOverlayPresenter& operator=(const ZUMModalOverlayPresenter&) = delete;

  // --- ZUMOverlayPresenting ---------------------------------------------------------------
  // Nothing happens without a host or a presented controller.
  void presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                 std::function<void()> completion) override;
  // The presented controller.
  std::shared_ptr<platform::ViewController> presentationViewController() const override;
  // The platform's dismissal when the controller is still the one its presenting
  // controller presents (waiting for a transition under way to end); otherwise the
  // handler runs at once.
  void dismissWithCompletionHandler(std::function<void()> handler) override;
  // Only for a presented controller whose ad asks for orientations: the light update
  // when the user default "/vantor/ads/view_controller_only_supports_application_orientation"
  // is true, else the forced update.
  void setNeedsUpdateOrientation() override;
  std::shared_ptr<ZUMViewController> presentedViewController() const override { return presented_.lock(); }
  void setPresentedViewController(const std::shared_ptr<ZUMViewController>& controller) override {
    presented_ = controller;
  }
  // While the presented controller exists.
  bool isReadyToPresent() const override { return !presented_.expired(); }

  // --- Steps --------------------------------------------------------------------------------
  // Full-screen style only: tells the session, then hides the status bar.
  void hideStatusBar();
  void appDidEnterForeground() { hideStatusBar(); }
  // The controller supports what its ad asks for; when the status bar is elsewhere, a
  // blank controller presented and dismissed over it makes the platform rotate. A mask
  // that the application supports nothing of changes nothing.
  void updateViewControllerOrientation(const std::shared_ptr<ZUMViewController>& controller);
  // The controller's view is framed and turned inside the current orientation (see the
  // .cpp). An unknown status-bar orientation turns nothing, and the controller never
  // gets orientations that the application supports none of.
  void forceUpdateViewControllerOrientation(const std::shared_ptr<ZUMViewController>& controller);

 private:
  ZUMModalOverlayPresenter() = default;
  void stopObservingForeground();

  platform::NotificationCenter::Token appForegroundObserver_;
  std::weak_ptr<ZUMViewController> presented_;
};
