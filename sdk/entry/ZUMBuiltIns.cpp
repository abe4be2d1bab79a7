#include "sdk/entry/ZUMBuiltIns.h"

#include "ZUMMobileAds.h"
#include "platform/base/TestingReset.h"
#include "platform/web/WKWebView.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/network/ZUMNetworkDelivery.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/telemetry/ZUMTelemetry.h"

void ZUMRegisterBuiltIns() {
  // Tests drop what was registered; the next load registers it again.
  static auto* once = new platform::ResettableOnceFlag();
  once->call([] {
    // The newer web engine is looked up by name; the platform's own start-up sits below
    // the web area and cannot offer it.
    platform::WKWebView::registerClass();
    ZUMRegisterNetworkDelivery();
    ZUMRegisterAdFetcher();
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMRegisterTelemetry();
  });
}

void ZUMMobileAds::load() {
  ZUMRegisterBuiltIns();
  ZUMApplication::load();
}
