// The banner view's answers to the slot questions that share their names with a view's
// own accessors (frame, bounds, adSize, rootViewController): the slot asks through
// ZUMSlotDelegate and reads optional answers, while the view's accessors keep plain ones
// for the host. The banner supplies the owner*() values.
//
// Main thread only, as ZUMSlotDelegate.
#pragma once

#include <memory>
#include <optional>

#include "ZUMSlotDelegate.h"

class ZUMBannerViewSlotOwner : public ZUMSlotDelegate {
 public:
  std::optional<platform::Rect> frame() final { return ownerFrame(); }
  std::optional<platform::Rect> bounds() final { return ownerBounds(); }
  std::optional<ZUMAdSize> adSize() final { return ownerAdSize(); }
  std::optional<std::shared_ptr<platform::ViewController>> rootViewController() final {
    return ownerRootViewController();
  }

 protected:
  virtual platform::Rect ownerFrame() const = 0;
  virtual platform::Rect ownerBounds() const = 0;
  virtual ZUMAdSize ownerAdSize() const = 0;
  virtual std::shared_ptr<platform::ViewController> ownerRootViewController() const = 0;
};
