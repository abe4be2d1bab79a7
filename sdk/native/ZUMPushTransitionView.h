// A view that shows a list of views one at a time and, on a timer, pushes the next one in
// from the top: each view stays for the presentation duration plus the animation
// duration, and every push is a transition under "PushNewView" on the clipping view's
// layer. The attribution badge rotates its icons in one.
//
// The steps run on the main queue's delayed blocks and hold the view weakly. Each change
// of the views or of a duration starts a new rotation (a new animationGroupIdentifier),
// so steps scheduled for an older one do nothing. Durations that are not finite or are
// below 0.05 s give the defaults (4 s and 1 s) and long ones are cut to a day, so a
// rotation never spins and never overflows a timer.
//
// Holds its views strongly. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/View.h"

namespace platform {
class Coder;
class LayoutConstraint;
}  // namespace platform

inline constexpr const char* kZUMPushTransitionKey = "PushNewView";

class ZUMPushTransitionView : public platform::View {
 public:
  static constexpr double kDefaultPresentationDuration = 4.0;
  static constexpr double kDefaultAnimationDuration = 1.0;
  // Durations below this are not meant (a page's milliseconds read as seconds, say).
  static constexpr double kMinimumDuration = 0.05;
  static constexpr double kMaximumDuration = 24 * 60 * 60;

  static std::shared_ptr<ZUMPushTransitionView> create(const platform::Rect& frame = {});
  static std::shared_ptr<ZUMPushTransitionView> create(const platform::Coder& coder);

  const std::vector<std::shared_ptr<platform::View>>& views() const { return views_; }
  // Shows the first view at once and starts the rotation again from it.
  void setViews(std::vector<std::shared_ptr<platform::View>> views);
  double animationDuration() const { return animationDuration_; }
  void setAnimationDuration(double seconds);
  double presentationDuration() const { return presentationDuration_; }
  void setPresentationDuration(double seconds);

  const std::shared_ptr<platform::View>& currentView() const { return currentView_; }
  std::size_t currentViewIndex() const { return currentViewIndex_; }
  // The generation of the running rotation.
  std::int64_t animationGroupIdentifier() const { return animationGroupIdentifier_; }
  // Holds the current view; its layer carries the pushes.
  const std::shared_ptr<platform::View>& clippingView() const { return clippingView_; }

 private:
  explicit ZUMPushTransitionView(const platform::Rect& frame);
  void commonInit();
  void setCurrentView(const std::shared_ptr<platform::View>& view);
  // Schedules the next step of this rotation, with two views or more.
  void dispatchAnimation();
  void step(std::int64_t generation);
  void animate();

  std::vector<std::shared_ptr<platform::View>> views_;
  std::shared_ptr<platform::View> clippingView_;
  std::shared_ptr<platform::View> currentView_;
  std::vector<std::shared_ptr<platform::LayoutConstraint>> currentViewConstraints_;
  std::size_t currentViewIndex_ = 0;
  double presentationDuration_ = kDefaultPresentationDuration;
  double animationDuration_ = kDefaultAnimationDuration;
  std::int64_t animationGroupIdentifier_ = 0;
};
