// What an ad loader's delegate adopts to receive content native ads (ad type "1");
// called on the main thread.
#pragma once

#include <memory>

#include "ZUMAdLoaderDelegate.h"

class ZUMNativeContentAd;

class ZUMNativeContentAdLoaderDelegate : public virtual ZUMAdLoaderDelegate {
 public:
  virtual void adLoaderDidReceiveNativeContentAd(ZUMAdLoader& loader,
                                                 const std::shared_ptr<ZUMNativeContentAd>& ad) = 0;
};
