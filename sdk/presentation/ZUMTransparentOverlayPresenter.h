// A presenter that puts an SDK full-screen controller's view straight into the host's
// window, over whatever the host shows, on a see-through backdrop that lets touches
// outside the ad reach the host: interstitials whose page asked for a transparent
// background, and (as ZUMMRAIDResizeOverlayPresenter) resized MRAID ads.
//
// The overlay hangs from a square pivot view (the longer side of the portrait screen),
// centred on the application frame; inside it a crop view of the application frame's
// size holds the controller's view. While shown it follows the status bar's orientation
// and closes the controller when the slot's owner view leaves its window.
//
// Created -> shown (pivot view in the window, two observations) -> dismissed (views
// removed, observations gone). Holds its controller weakly (the controller owns the
// presenter). Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "platform/base/NotificationCenter.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/InterfaceOrientation.h"
#include "sdk/presentation/ZUMOverlayPresenting.h"

class ZUMUnclickableView;

class ZUMTransparentOverlayPresenter : public ZUMOverlayPresenting,
                                       public std::enable_shared_from_this<ZUMTransparentOverlayPresenter> {
 public:
  static std::shared_ptr<ZUMTransparentOverlayPresenter> create();
  ~ZUMTransparentOverlayPresenter() override;
  ZUMTransparentOverlayPresenter(const ZUMTransparentOverlayPresenter&) = delete;
  ZUMTransparentOverlayPresenter& operator=(const ZUMTransparentOverlayPresenter&) = delete;

  // The rectangle of `size` with the frame's centre.
  static platform::Rect frameWithSize(platform::Size size, const platform::Rect& frame);
  // The identity for every orientation: the application frame is already oriented.
  static platform::AffineTransform transformForOrientation(platform::InterfaceOrientation orientation);
  // The oriented application frame's size, centred in the pivot view's bounds.
  platform::Rect pivotedApplicationFrameForOrientation(platform::InterfaceOrientation orientation) const;

  const std::shared_ptr<ZUMUnclickableView>& pivotView() const { return pivotView_; }
  const std::shared_ptr<ZUMUnclickableView>& cropView() const { return cropView_; }

  // --- ZUMOverlayPresenting ---------------------------------------------------------------
  // Into the host's window (the main window when the host's view has none): compose,
  // slide in for 0.4 s, then the completion.
  void presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                 std::function<void()> completion) override;
  // The topmost controller presented from the root of the overlay's window.
  std::shared_ptr<platform::ViewController> presentationViewController() const override;
  // Observations stopped, 0.2 s fade, views removed, then the handler.
  void dismissWithCompletionHandler(std::function<void()> handler) override;
  void setNeedsUpdateOrientation() override {}
  std::shared_ptr<ZUMViewController> presentedViewController() const override { return presented_.lock(); }
  void setPresentedViewController(const std::shared_ptr<ZUMViewController>& controller) override {
    presented_ = controller;
  }
  bool isReadyToPresent() const override { return !presented_.expired(); }

  // --- Steps, overridable ---------------------------------------------------------------------
  virtual void composeTransparentInterstitialViewsForPresentation();
  virtual void updateTransparentInterstitialOrientation();
  virtual void animateTransparentInterstitialPresentationWithCompletionHandler(std::function<void()> handler);

 protected:
  ZUMTransparentOverlayPresenter();

 private:
  void stopObserving();

  std::shared_ptr<ZUMUnclickableView> pivotView_;
  std::shared_ptr<ZUMUnclickableView> cropView_;
  std::weak_ptr<ZUMViewController> presented_;
  platform::NotificationCenter::Token orientationChangeListener_;
  platform::NotificationCenter::Token placementDisappearanceObserver_;
};
