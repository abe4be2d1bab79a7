// Hears that a banner is about to take a new ad size its ad asked for (a fluid ad whose
// content grew or shrank). Optional; held weakly; main thread.
#pragma once

#include "ZUMAdSize.h"
#include "ZUMImplemented.h"

class ZUMBannerView;

class ZUMAdSizeDelegate {
 public:
  virtual ~ZUMAdSizeDelegate() = default;
  virtual ZUMImplemented adViewWillChangeAdSizeTo(ZUMBannerView& /*view*/, const ZUMAdSize& /*size*/) {
    return std::nullopt;
  }
};
