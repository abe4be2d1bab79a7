// Tells the SDK-core page of each navigation that an auto-click protection blocked:
// the page's "navigationBlocked" script notification, through the shared SDK-core
// controller (nothing while none is registered). Installed by the SDK's load entry.
//
// Main thread.
#pragma once

#include "sdk/network/ZUMNavigationBlockedReporting.h"

class ZUMSDKCoreNavigationBlockedReporter final : public ZUMNavigationBlockedReporting {
 public:
  void navigationBlocked(const nlohmann::ordered_json& info) override;
};
