// Told of a slot's screen, leave-application, video, impression and click events. Every
// operation is optional: its default answers std::nullopt ("not implemented"). Held
// weakly by the slot; called on the main thread.
#pragma once

#include "ZUMImplemented.h"
#include "platform/ui/Geometry.h"

class ZUMSlot;

class ZUMSlotAdEventDelegate {
 public:
  virtual ~ZUMSlotAdEventDelegate() = default;
  virtual ZUMImplemented slotWillPresentScreen(ZUMSlot& /*slot*/) { return std::nullopt; }
  virtual ZUMImplemented slotWillDismissScreen(ZUMSlot& /*slot*/) { return std::nullopt; }
  virtual ZUMImplemented slotDidDismissScreen(ZUMSlot& /*slot*/) { return std::nullopt; }
  virtual ZUMImplemented slotWillLeaveApplication(ZUMSlot& /*slot*/) { return std::nullopt; }
  virtual ZUMImplemented slotDidLoadVideoWithSize(ZUMSlot& /*slot*/, const platform::Size& /*size*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented slotDidRecordImpression(ZUMSlot& /*slot*/) { return std::nullopt; }
  virtual ZUMImplemented slotDidRecordClick(ZUMSlot& /*slot*/) { return std::nullopt; }
};
