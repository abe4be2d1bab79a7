#include "sdk/presentation/ZUMUnclickableView.h"

std::shared_ptr<ZUMUnclickableView> ZUMUnclickableView::create(const platform::Rect& frame) {
  return std::shared_ptr<ZUMUnclickableView>(new ZUMUnclickableView(frame));
}

std::shared_ptr<platform::View> ZUMUnclickableView::hitTest(platform::Point point, const platform::Event* event) {
  auto hit = platform::View::hitTest(point, event);
  return hit.get() == this ? nullptr : hit;
}
