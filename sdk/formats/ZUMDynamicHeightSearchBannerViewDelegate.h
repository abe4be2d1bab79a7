// What a dynamic-height search banner view tells its owner (the fluid search banner):
// that an ad is shown, that loading failed, that the user tapped a link to a landing
// page, and the height the page now wants. Every operation is optional: the default
// answers std::nullopt ("not implemented"). Held weakly; called on the main thread.
#pragma once

#include "ZUMImplemented.h"
#include "platform/base/Error.h"
#include "platform/base/URL.h"
#include "platform/ui/Geometry.h"

class ZUMDynamicHeightSearchBannerView;

class ZUMDynamicHeightSearchBannerViewDelegate {
 public:
  virtual ~ZUMDynamicHeightSearchBannerViewDelegate() = default;

  virtual ZUMImplemented bannerViewDidReceiveAd(ZUMDynamicHeightSearchBannerView& /*view*/) { return std::nullopt; }
  virtual ZUMImplemented bannerViewDidFailToReceiveAdWithError(ZUMDynamicHeightSearchBannerView& /*view*/,
                                                               const platform::ErrorPtr& /*error*/) {
    return std::nullopt;
  }
  // The view never opens the URL itself.
  virtual ZUMImplemented bannerViewDidReceiveLandingPageURL(ZUMDynamicHeightSearchBannerView& /*view*/,
                                                            const platform::URL& /*url*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented bannerViewDidUpdateDesiredContentSize(ZUMDynamicHeightSearchBannerView& /*view*/,
                                                               platform::Size /*size*/) {
    return std::nullopt;
  }
};
