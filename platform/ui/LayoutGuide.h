// The top layout guide of a view controller: an item constraints can name for where the
// controller's content may start below the status bar. Its top is the top of the
// controller's view and its bottom length() points lower: the status bar's height (20)
// while the bar is shown, 0 while the application hides it or while the controller is
// under a full-screen presentation. Its left, right and width are those of the view.
//
// It is a view only so that constraints can name it; it is never part of a view tree
// and its own frame means nothing. The controller holds its guide; the guide knows the
// controller weakly. Changing the status bar lays the guides' views out again.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>

#include "platform/ui/View.h"

namespace platform {

class ViewController;

class LayoutGuide final : public View {
 public:
  static std::shared_ptr<LayoutGuide> create(const std::shared_ptr<ViewController>& controller);

  // The height of the status bar that lies over the controller's view, as above.
  double length() const;
  std::shared_ptr<ViewController> controller() const { return controller_.lock(); }
  // The controller's view when loaded, else nullptr.
  std::shared_ptr<View> ownerView() const;
  // The guide's rectangle in its controller's view's bounds coordinates; nullopt while
  // the view is not loaded.
  std::optional<Rect> rectInOwnerView() const;

  // Marks for layout the views whose constraints may name a guide: each live guide's
  // controller view and every view under it that has subviews.
  static void statusBarDidChange();

  std::string description() const override;

 private:
  LayoutGuide() : View(Rect()) {}

  std::weak_ptr<ViewController> controller_;
};

}  // namespace platform
