// A refill policy: the delegate of every pool of the interstitial cache, which decides
// when the pools load their next entry. The cache adds each pool once.
//
// Any thread.
#pragma once

#include <memory>

#include "sdk/formats/ZUMInterstitialPoolDelegate.h"

class ZUMInterstitialPoolRefilling : public ZUMInterstitialPoolDelegate {
 public:
  virtual void addPool(const std::shared_ptr<ZUMInterstitialPool>& pool) = 0;
};
