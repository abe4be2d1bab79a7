// What an ad loader's delegate adopts to receive app-install native ads (ad type "2");
// called on the main thread.
#pragma once

#include <memory>

#include "ZUMAdLoaderDelegate.h"

class ZUMNativeAppInstallAd;

class ZUMNativeAppInstallAdLoaderDelegate : public virtual ZUMAdLoaderDelegate {
 public:
  virtual void adLoaderDidReceiveNativeAppInstallAd(ZUMAdLoader& loader,
                                                    const std::shared_ptr<ZUMNativeAppInstallAd>& ad) = 0;
};
