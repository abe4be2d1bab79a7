#include "sdk/foundation/ZUMStartupHooks.h"

#include <mutex>

#include "platform/base/TestingReset.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

namespace {

// The host's opt-outs: whether each was asked for, and whether its hook has been called.
struct OptOuts {
  std::mutex mutex;
  bool crashWanted = false;
  bool crashDone = false;
  bool purchaseWanted = false;
  bool purchaseDone = false;
};

OptOuts& optOuts() {
  static auto* instance = [] {
    auto* made = new OptOuts();
    platform::registerTestingReset(made, [made] {
      std::lock_guard lock(made->mutex);
      made->crashWanted = made->crashDone = made->purchaseWanted = made->purchaseDone = false;
    });
    return made;
  }();
  return *instance;
}

// Calls the hooks of the opt-outs asked for and not yet carried out, outside the lock.
void carryOutOptOuts() {
  const ZUMStartupHooks hooks = ZUMCurrentStartupHooks();
  std::function<void()> crash;
  std::function<void()> purchase;
  {
    auto& state = optOuts();
    std::lock_guard lock(state.mutex);
    if (state.crashWanted && !state.crashDone && hooks.disableCrashReporting) {
      state.crashDone = true;
      crash = hooks.disableCrashReporting;
    }
    if (state.purchaseWanted && !state.purchaseDone && hooks.disableInAppPurchaseReporting) {
      state.purchaseDone = true;
      purchase = hooks.disableInAppPurchaseReporting;
    }
  }
  if (crash) crash();
  if (purchase) purchase();
}

}  // namespace

void ZUMRegisterStartupHooks(const std::function<void(ZUMStartupHooks&)>& fill) {
  ZUMRegistrationPoint<ZUMStartupHooks>::fill(fill);
  carryOutOptOuts();
}

ZUMStartupHooks ZUMCurrentStartupHooks() { return ZUMRegistrationPoint<ZUMStartupHooks>::current(); }

void ZUMOptOutOfCrashReporting() {
  {
    auto& state = optOuts();
    std::lock_guard lock(state.mutex);
    state.crashWanted = true;
  }
  carryOutOptOuts();
}

void ZUMOptOutOfInAppPurchaseReporting() {
  {
    auto& state = optOuts();
    std::lock_guard lock(state.mutex);
    state.purchaseWanted = true;
  }
  carryOutOptOuts();
}
