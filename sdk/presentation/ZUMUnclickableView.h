// A view that lets touches on its own empty area through to whatever lies beneath,
// while its subviews take touches as usual: the backdrop of the transparent overlays.
// Main thread only.
#pragma once

#include <memory>

#include "platform/ui/View.h"

class ZUMUnclickableView : public platform::View {
 public:
  static std::shared_ptr<ZUMUnclickableView> create(const platform::Rect& frame = {});
  // The platform's answer, except nullptr where that would be this view itself.
  std::shared_ptr<platform::View> hitTest(platform::Point point, const platform::Event* event = nullptr) override;

 protected:
  explicit ZUMUnclickableView(const platform::Rect& frame) : platform::View(frame) {}
};
