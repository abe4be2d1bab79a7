// The full-screen screens' view of the analytics bridge (ZUMPresentationAnalytics): the
// host's current screen as the bridge's screen-view reporter tells it, and the name an
// interstitial gives its own. Without the bridge or a reporter no screen is known and
// nothing is named. Installed once by the SDK's load entry.
//
// Main thread, as the interface says.
#pragma once

#include <string>

#include "sdk/presentation/ZUMPresentationAnalytics.h"

class ZUMAnalyticsPresentation final : public ZUMPresentationAnalytics {
 public:
  Screen currentScreen() override;
  void setScreenName(const std::string& name) override;
};
