// What the slot asks of mediation: its waterfall driver, stopping it, and switching a
// mediated ad to a new ad type. The area implements it and the SDK's load entry installs
// it once with setShared().
//
// Unregistered (shared() is nullptr): a slot has no mediation manager, nothing is
// stopped, and a new ad type always needs a new request.
//
// Called on the main thread, never from the slot's destructor.
#pragma once

#include <memory>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdType;
class ZUMMAdManager;
class ZUMSlot;

class ZUMSlotMediation : public ZUMSharedInterface<ZUMSlotMediation> {
 public:
  virtual ~ZUMSlotMediation() = default;

  // The waterfall driver of a new slot, its slot set to `slot` (kept by the slot).
  virtual std::shared_ptr<ZUMMAdManager> makeMediationManager(ZUMSlot& slot) = 0;
  // Stops the waterfall of the slot's mediation manager.
  virtual void cancelMediation(ZUMMAdManager& manager) = 0;
  // Whether the shown mediated ad took the new type without a new request.
  virtual bool changeMediatedAdType(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType) = 0;
};
