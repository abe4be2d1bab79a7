#include "sdk/native/ZUMNativeAdEventRouter.h"

#include "ZUMNativeAd.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/request/ZUMSlot.h"

std::shared_ptr<ZUMNativeAdEventRouter> ZUMNativeAdEventRouter::forSlot(ZUMSlot& slot) {
  platform::assertMainThread();
  if (auto router = std::dynamic_pointer_cast<ZUMNativeAdEventRouter>(slot.adEventDelegate())) return router;
  auto router = std::shared_ptr<ZUMNativeAdEventRouter>(new ZUMNativeAdEventRouter());
  slot.setAdEventDelegate(router);
  return router;
}

#define ZUM_ROUTE(method)                                        \
  ZUMImplemented ZUMNativeAdEventRouter::method(ZUMSlot& slot) { \
    auto ad = activeAd_.lock();                                  \
    return ad ? ad->method(slot) : std::nullopt;                 \
  }

ZUM_ROUTE(slotWillPresentScreen)
ZUM_ROUTE(slotWillDismissScreen)
ZUM_ROUTE(slotDidDismissScreen)
ZUM_ROUTE(slotWillLeaveApplication)
ZUM_ROUTE(slotDidRecordImpression)
ZUM_ROUTE(slotDidRecordClick)

#undef ZUM_ROUTE
