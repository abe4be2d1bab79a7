// What a pool of preloaded interstitials tells its delegate (a refill policy): an entry
// was added (also when the new entry found the pool full and was dropped), or one left
// the pool (taken or expired). Both are optional.
//
// Called on the global queue, never under the pool's lock.
#pragma once

#include <memory>

class ZUMInterstitialPool;

class ZUMInterstitialPoolDelegate {
 public:
  virtual ~ZUMInterstitialPoolDelegate() = default;
  virtual void interstitialPoolDidAddEntry(const std::shared_ptr<ZUMInterstitialPool>& /*pool*/) {}
  virtual void interstitialPoolDidRemoveEntry(const std::shared_ptr<ZUMInterstitialPool>& /*pool*/) {}
};
