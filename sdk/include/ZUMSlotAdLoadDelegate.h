// Told when a slot's load succeeded or failed. Held weakly by the slot; called on the
// main thread.
#pragma once

#include "platform/base/Error.h"

class ZUMSlot;

class ZUMSlotAdLoadDelegate {
 public:
  virtual ~ZUMSlotAdLoadDelegate() = default;
  virtual void slotFinishedLoadingAdContent(ZUMSlot& slot) = 0;
  virtual void slotDidFailToLoadAdContentWithError(ZUMSlot& slot, const platform::ErrorPtr& error) = 0;
};
