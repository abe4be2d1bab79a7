#include "sdk/foundation/ZUMStartupHooks.h"

#include "sdk/foundation/ZUMRegistrationPoint.h"

void ZUMRegisterStartupHooks(const std::function<void(ZUMStartupHooks&)>& fill) {
  ZUMRegistrationPoint<ZUMStartupHooks>::fill(fill);
}

ZUMStartupHooks ZUMCurrentStartupHooks() { return ZUMRegistrationPoint<ZUMStartupHooks>::current(); }
