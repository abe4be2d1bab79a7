#include "platform/ui/ActivityIndicatorView.h"

namespace platform {

namespace {
double sideFor(ActivityIndicatorView::Style style) {
  return style == ActivityIndicatorView::Style::WhiteLarge ? 37.0 : 20.0;
}
}  // namespace

std::shared_ptr<ActivityIndicatorView> ActivityIndicatorView::create(Style style) {
  return std::shared_ptr<ActivityIndicatorView>(new ActivityIndicatorView(style));
}

ActivityIndicatorView::ActivityIndicatorView(Style style)
    : View(Rect(0, 0, sideFor(style), sideFor(style))), style_(style) {
  setHidden(true);
}

void ActivityIndicatorView::startAnimating() {
  animating_ = true;
  if (hidesWhenStopped_) setHidden(false);
}

void ActivityIndicatorView::stopAnimating() {
  animating_ = false;
  if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicatorView::setHidesWhenStopped(bool value) {
  hidesWhenStopped_ = value;
  if (value && !animating_) setHidden(true);
}

Size ActivityIndicatorView::intrinsicContentSize() const { return {sideFor(style_), sideFor(style_)}; }

}  // namespace platform
