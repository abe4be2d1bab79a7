// The slot's view of its waterfall: start a pass over a configuration, switch the shown
// mediated ad to a new ad type, present a mediated interstitial. Implemented by the
// mediation manager. Main thread.
#pragma once

#include <memory>

class ZUMAdType;
class ZUMMConfig;

namespace platform {
class ViewController;
}

class ZUMMSlotDelegate {
 public:
  virtual ~ZUMMSlotDelegate() = default;
  virtual void mediateForAdType(const std::shared_ptr<ZUMAdType>& adType,
                                const std::shared_ptr<const ZUMMConfig>& config) = 0;
  // Whether the shown mediated ad took the new type without a new request.
  virtual bool changeAdTypeTo(const std::shared_ptr<ZUMAdType>& adType) = 0;
  virtual void presentInterstitialFromRootViewController(
      const std::shared_ptr<platform::ViewController>& controller) = 0;
};
