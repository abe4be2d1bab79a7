// The receiver of an MRAID ad's page events (the slot, for its ads): load and unload,
// visibility, position, orientation and page errors, each sent to the ad's page. Held
// weakly by the ad; the slot keeps it (ZUMSlot::MRAIDEventHandler()). Main thread only.
#pragma once

#include <string>

namespace platform {
class View;
}

class ZUMMRAIDEventHandling {
 public:
  virtual ~ZUMMRAIDEventHandling() = default;
  virtual void MRAIDAdDidLoad() = 0;
  virtual void MRAIDAdDidUnload() = 0;
  // "onAdVisibilityChanged" with "visible" "1" or "0".
  virtual void updateVisibility(bool visible) = 0;
  virtual void updatePositionFromView(platform::View& view) = 0;
  virtual void notifyOrientationToMRAIDCreative() = 0;
  // "onError" with the message and the action.
  virtual void handleError(const std::string& message, const std::string& action) = 0;
};
