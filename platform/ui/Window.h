// A window: the root of a view hierarchy shown on the screen. It keeps the process-wide
// list of windows and the key window, delivers touch events to its views (hit testing,
// then gesture recognizers, then the touched view's callbacks), lays itself out on the
// main run loop when a view in it asks for layout, and holds its root view controller.
//
// Window coordinates are the window's bounds coordinates; the window's frame places it
// on the screen. A new window is hidden until shown.
//
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/View.h"

namespace platform {

class Screen;
class ViewController;

// Common window levels; higher levels lie above lower ones.
inline constexpr double kWindowLevelNormal = 0;
inline constexpr double kWindowLevelStatusBar = 1000;
inline constexpr double kWindowLevelAlert = 2000;

class Window : public View {
 public:
  // A window covering the main screen's bounds.
  static std::shared_ptr<Window> create();
  static std::shared_ptr<Window> create(const Rect& frame);
  ~Window() override;

  // Every live window, back to front: by level, then in order of creation.
  static std::vector<std::shared_ptr<Window>> windows();
  // The window that last became key and is still alive; nullptr when none.
  static std::shared_ptr<Window> keyWindow();

  Screen& screen() const;

  double windowLevel() const { return windowLevel_; }
  void setWindowLevel(double level);
  bool isKeyWindow() const;
  void makeKeyWindow();
  // Shows the window and makes it key.
  void makeKeyAndVisible();

  // The controller whose view fills the window. The window holds it strongly.
  // setRootViewController() is defined with the view controllers (ViewController.cpp),
  // which install the controller's view.
  const std::shared_ptr<ViewController>& rootViewController() const { return rootViewController_; }
  void setRootViewController(std::shared_ptr<ViewController> controller);

  // Between window and screen coordinates.
  Point convertPointToScreen(Point point) const;
  Point convertPointFromScreen(Point point) const;

  // Delivers a touch event, as the platform's event source does: a touch that begins
  // is hit-tested in this window and keeps its view and gesture recognizers until it
  // ends; recognizers see each phase first, then the view, unless a recognizer that
  // cancels touches in its view has recognized (the view then gets touchesCancelled
  // once). Touches of other windows are ignored.
  void sendEvent(const Event& event);

  // Runs a pending layout pass at once (the main run loop would run it on its next turn).
  void layoutPendingViews();

  // Called by views of this window that need layout; schedules one pass.
  void scheduleLayout();

  std::string description() const override;

 protected:
  explicit Window(const Rect& frame);

 private:
  struct Tracking;
  void deliver(const Event& event);

  double windowLevel_ = kWindowLevelNormal;
  std::uint64_t creationOrder_ = 0;
  bool layoutScheduled_ = false;
  std::shared_ptr<ViewController> rootViewController_;
  std::unique_ptr<Tracking> tracking_;
};

}  // namespace platform
