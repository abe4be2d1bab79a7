// A network's banner view as a mediated ad: the view and the banner connector that
// delivered it, which the ad loader's publisher banner takes over (its queued app
// events, its pings).
//
// Holds both strongly until the loader has made its banner. Main thread only.
#pragma once

#include <memory>

#include "sdk/mediation/ZUMMediatedAd.h"

namespace platform {
class View;
}

class ZUMMAdNetworkConnectorBanner;

class ZUMMediatedBannerAd final : public ZUMMediatedAd {
 public:
  static std::shared_ptr<ZUMMediatedBannerAd> create(std::shared_ptr<platform::View> view,
                                                     std::shared_ptr<ZUMMAdNetworkConnectorBanner> connector) {
    return std::shared_ptr<ZUMMediatedBannerAd>(new ZUMMediatedBannerAd(std::move(view), std::move(connector)));
  }
  const std::shared_ptr<platform::View>& view() const { return view_; }
  const std::shared_ptr<ZUMMAdNetworkConnectorBanner>& connector() const { return connector_; }

 private:
  ZUMMediatedBannerAd(std::shared_ptr<platform::View> view, std::shared_ptr<ZUMMAdNetworkConnectorBanner> connector)
      : view_(std::move(view)), connector_(std::move(connector)) {}

  const std::shared_ptr<platform::View> view_;
  const std::shared_ptr<ZUMMAdNetworkConnectorBanner> connector_;
};
