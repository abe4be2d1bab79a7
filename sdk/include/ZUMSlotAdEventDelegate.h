// Told of a slot's screen, leave-application, video, impression and click events. Every
// operation is optional. Held weakly by the slot; called on the main thread.
#pragma once

#include "platform/ui/Geometry.h"

class ZUMSlot;

class ZUMSlotAdEventDelegate {
 public:
  virtual ~ZUMSlotAdEventDelegate() = default;
  virtual void slotWillPresentScreen(ZUMSlot& /*slot*/) {}
  virtual void slotWillDismissScreen(ZUMSlot& /*slot*/) {}
  virtual void slotDidDismissScreen(ZUMSlot& /*slot*/) {}
  virtual void slotWillLeaveApplication(ZUMSlot& /*slot*/) {}
  virtual void slotDidLoadVideoWithSize(ZUMSlot& /*slot*/, const platform::Size& /*size*/) {}
  virtual void slotDidRecordImpression(ZUMSlot& /*slot*/) {}
  virtual void slotDidRecordClick(ZUMSlot& /*slot*/) {}
};
