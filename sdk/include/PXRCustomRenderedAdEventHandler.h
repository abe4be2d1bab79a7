// What a custom-rendered ad reports back to the format object that made it (a
// PXRBannerView or a PXRInterstitial): the host finished drawing the ad, counted an
// impression, or saw a click. Main thread only.
#pragma once

#include <memory>

namespace platform {
class View;
}

class PXRCustomRenderedAdEventHandler {
 public:
  virtual ~PXRCustomRenderedAdEventHandler() = default;
  virtual void finishedRenderingAdView(const std::shared_ptr<platform::View>& view) = 0;
  virtual void recordCustomAdImpression() = 0;
  virtual void recordClick() = 0;
};
