// Told what an ad loader delivers: each ad through the delegate protocol of its kind (a
// sub-protocol such as PXRBannerAdLoaderDelegate, which a delegate adopts beside this
// one), each failure here, and the end of a load. Held weakly by the loader; called on
// the main thread.
#pragma once

#include "ZUMImplemented.h"
#include "ZUMRequestError.h"

class ZUMAdLoader;

class ZUMAdLoaderDelegate {
 public:
  virtual ~ZUMAdLoaderDelegate() = default;
  virtual void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader& loader, const ZUMRequestErrorPtr& error) = 0;
  // After the load's final result.
  virtual ZUMImplemented adLoaderDidFinishLoading(ZUMAdLoader& /*loader*/) { return std::nullopt; }
};
