#include "platform/ui/ScrollView.h"

#include <cmath>

namespace platform {

std::shared_ptr<ScrollView> ScrollView::create(const Rect& frame) {
  return std::shared_ptr<ScrollView>(new ScrollView(frame));
}

ScrollView::ScrollView(const Rect& frame) : View(frame) { setClipsToBounds(true); }

void ScrollView::setContentSize(Size size) {
  if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width < 0 || size.height < 0) return;
  contentSize_ = size;
}

void ScrollView::setContentOffset(Point offset) {
  Rect b = bounds();
  b.origin = offset;
  setBounds(b);  // refuses non-finite offsets
}

void ScrollView::setContentInset(const EdgeInsets& insets) {
  if (!std::isfinite(insets.top) || !std::isfinite(insets.left) || !std::isfinite(insets.bottom) ||
      !std::isfinite(insets.right)) {
    return;
  }
  contentInset_ = insets;
}

}  // namespace platform
