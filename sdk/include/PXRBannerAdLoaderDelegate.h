// The delegate protocol of publisher banners loaded by an ad loader (ad type "-1"): it
// names the sizes a banner may have and receives each ready banner. Adopted beside
// ZUMAdLoaderDelegate by the loader's delegate; called on the main thread.
#pragma once

#include <memory>
#include <vector>

#include "ZUMAdLoaderDelegate.h"
#include "ZUMAdSize.h"

class PXRBannerView;

class PXRBannerAdLoaderDelegate : public virtual ZUMAdLoaderDelegate {
 public:
  // The banner sizes to ask for; none refuses the ad type.
  virtual std::vector<ZUMAdSize> validBannerSizesForAdLoader(ZUMAdLoader& loader) = 0;
  virtual void adLoaderDidReceivePXRBannerView(ZUMAdLoader& loader, const std::shared_ptr<PXRBannerView>& banner) = 0;
};
