#include "sdk/entry/ZUMBuiltIns.h"

#include "ZUMMobileAds.h"
#include "platform/base/DispatchQueue.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/network/ZUMNetworkDelivery.h"

void ZUMRegisterBuiltIns() {
  static platform::OnceFlag once;
  platform::dispatchOnce(once, [] { ZUMRegisterNetworkDelivery(); });
}

void ZUMMobileAds::load() {
  ZUMRegisterBuiltIns();
  ZUMApplication::load();
}
