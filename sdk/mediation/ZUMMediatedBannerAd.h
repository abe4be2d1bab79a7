// A network's banner view as a mediated ad: the view and the banner connector that
// delivered it, which the ad loader's publisher banner takes over (its queued app
// events, its pings). The banner is made by the formats area (ZUMMediatedBannerFormats).
//
// Holds both strongly until the loader has made its banner. Main thread only.
#pragma once

#include <memory>

#include "platform/ui/Geometry.h"
#include "sdk/native/ZUMMediatedAd.h"

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
  // A publisher banner showing the view: sized by the entry's first slot size, else the
  // response's default, else (zero) the view's frame; its slot takes the connector over
  // and has loaded. Queued app events go to the banner's app-event delegate once.
  std::shared_ptr<ZUMLoadable> loadableAdForAdLoader(ZUMAdLoader& loader) override;

 private:
  ZUMMediatedBannerAd(std::shared_ptr<platform::View> view, std::shared_ptr<ZUMMAdNetworkConnectorBanner> connector)
      : view_(std::move(view)), connector_(std::move(connector)) {}
  platform::Size slotSize() const;

  const std::shared_ptr<platform::View> view_;
  const std::shared_ptr<ZUMMAdNetworkConnectorBanner> connector_;
};
