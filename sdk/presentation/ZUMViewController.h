// The base of every full-screen screen the SDK shows itself (ad-app controllers, the
// interstitial controller, the in-app browser). It ties a platform view controller to
// its slot's full-screen session and to the presenter that puts it on screen (the modal
// presenter unless another is set), keeps itself alive while shown (the host keeps no
// reference to an SDK screen), runs a one-shot dismissal completion, and records the
// landing-page dismissal time in the ad's statistics when it goes away.
//
// Created -> presenting (interaction off, self-retained, in the session) -> shown
// (finishAppearing: interaction on) -> relinquishing (interaction off, no longer
// self-retained, deactivating) -> dismissed (finishDismissal: out of the session,
// dismissal completion run) -> destroyed (dismissal statistics recorded). A controller
// that the platform presents or dismisses directly keeps its session right through its
// appearance callbacks; one destroyed while still in a session leaves it explicitly.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/ui/ViewController.h"
#include "sdk/presentation/ZUMIntermitting.h"

class ZUMOverlayPresenting;
class ZUMSlot;

class ZUMViewController : public platform::ViewController, public ZUMIntermitting {
 public:
  static std::shared_ptr<ZUMViewController> create();
  ~ZUMViewController() override;

  // --- Orientations ---------------------------------------------------------------------
  // All four (30) at creation; also the answer to the platform's question.
  platform::InterfaceOrientationMask supportedInterfaceOrientations() const override { return supported_; }
  // Ignores 0.
  void setSupportedOrientations(platform::InterfaceOrientationMask mask);
  void setSupportedInterfaceOrientations(platform::InterfaceOrientationMask mask) { supported_ = mask; }
  bool shouldAutorotate() const override { return true; }
  bool prefersStatusBarHidden() const override { return true; }

  // --- Collaborators --------------------------------------------------------------------
  std::shared_ptr<ZUMOverlayPresenting> presenter() const { return presenter_; }
  // Keeps the presenter and makes this its presented controller.
  void setPresenter(std::shared_ptr<ZUMOverlayPresenting> presenter);
  std::shared_ptr<ZUMSlot> slot() const { return slot_.lock(); }
  void setSlot(const std::shared_ptr<ZUMSlot>& slot) { slot_ = slot; }
  // Runs once, when the dismissal finishes (or the controller goes before it did).
  void setDismissalCompletion(std::function<void()> completion) { dismissalCompletion_ = std::move(completion); }
  bool hasDismissalCompletion() const { return static_cast<bool>(dismissalCompletion_); }
  std::shared_ptr<ZUMViewController> retainCycle() const { return retainCycle_; }
  void setRetainCycle(std::shared_ptr<ZUMViewController> self) { retainCycle_ = std::move(self); }

  // --- ZUMIntermitting ------------------------------------------------------------------
  // Without a host: the public log line, nothing shown, no completion. A presenter that
  // is not ready: nothing shown, no completion. A presentation the platform refuses
  // leaves the session again at once.
  void presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                 std::function<void()> completion) override;
  bool shouldDismissOnApplicationEnteringForeground() override { return true; }
  void relinquishScreenWithCompletion(std::function<void()> completion) override;
  std::shared_ptr<ZUMIntermission> intermission() const override { return intermission_; }

  // --- Hooks for subclasses, in the order they run ----------------------------------------
  // The presenter has shown the controller: user interaction back on.
  virtual void finishAppearing();
  virtual void viewChangedToOrientation(platform::InterfaceOrientation /*orientation*/) {}
  // The controller has left the screen: out of the session, dismissal completion run.
  // With the modal presenter it runs twice (did-disappear, then the dismissal's
  // completion); the second run finds nothing left to do but the subclass's steps.
  virtual void finishDismissal();

  // --- Platform -------------------------------------------------------------------------
  // Routed through the presenter's presentation controller when that is another one.
  void presentViewController(std::shared_ptr<platform::ViewController> controller, bool animated,
                             Completion completion = {}) override;
  void dismissViewControllerAnimated(bool animated, Completion completion = {}) override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void viewDidDisappear(bool animated) override;

 protected:
  ZUMViewController();
  // Joins the slot's session (made and stored in the slot when it has none).
  void addToCurrentIntermission();

 private:
  std::shared_ptr<ZUMViewController> self();
  void recordDismissal();

  platform::InterfaceOrientationMask supported_ = platform::kInterfaceOrientationMaskAll;
  std::function<void()> dismissalCompletion_;
  std::shared_ptr<ZUMOverlayPresenting> presenter_;
  std::weak_ptr<ZUMSlot> slot_;
  std::shared_ptr<ZUMIntermission> intermission_;
  std::shared_ptr<ZUMViewController> retainCycle_;
};
