// May veto or take over a slot's ad response before the slot renders it. Held weakly by
// the slot; called on the main thread.
#pragma once

#include <memory>

#include "platform/base/Error.h"

class ZUMAd;
class ZUMSlot;

class ZUMSlotAdResponseDelegate {
 public:
  virtual ~ZUMSlotAdResponseDelegate() = default;
  virtual bool slotShouldProcessAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad,
                                           platform::ErrorPtr* error) = 0;
  virtual void slotWillProcessMediatedAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) = 0;
};
