// The host's receiver of custom-rendered banner ads: with one set, a response the server
// allows to be custom rendered is handed to the host, which draws the ad itself
// (PXRCustomRenderedAd) instead of the banner's ad view. Held weakly; called on the main
// thread.
#pragma once

#include <memory>

class PXRBannerView;
class PXRCustomRenderedAd;

class PXRCustomRenderedBannerViewDelegate {
 public:
  virtual ~PXRCustomRenderedBannerViewDelegate() = default;
  virtual void bannerViewDidReceiveCustomRenderedAd(PXRBannerView& banner,
                                                    const std::shared_ptr<PXRCustomRenderedAd>& ad) = 0;
};
