#include "sdk/request/ZUMAdHooks.h"

#include "sdk/foundation/ZUMRegistrationPoint.h"

void ZUMRegisterAdHooks(const std::function<void(ZUMAdHooks&)>& fill) {
  ZUMRegistrationPoint<ZUMAdHooks>::fill(fill);
}

ZUMAdHooks ZUMCurrentAdHooks() { return ZUMRegistrationPoint<ZUMAdHooks>::current(); }
