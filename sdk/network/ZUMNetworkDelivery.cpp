#include "sdk/network/ZUMNetworkDelivery.h"

#include <string>

#include "platform/base/URL.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/network/ZUMPinger.h"

void ZUMRegisterNetworkDelivery() {
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.registerURLInterception = [] { ZUMRegisterURLInterception(); };
    hooks.startPingerRetrySchedule = [] { ZUMPinger::sharedInstance()->startRetrySchedule(); };
    hooks.sendForegroundPing = [](const std::string& urlString) {
      auto url = platform::URL::fromString(urlString);
      if (!url) return;
      ZUMPinger::sharedInstance()->pingWithRetryGroupKey(kZUMForegroundPingRetryGroupKey, *url, urlString);
    };
  });
}
