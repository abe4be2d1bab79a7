// The base of the refill policies that fill every pool they know at once (on dismissal,
// when idle): it holds its pools weakly and fills those still alive. Only its subclasses
// are made.
//
// Any thread. The pools live on the policy's serial queue
// "com.vantor.morvane.interstitial-pool-refill-policy"; fill() only posts to each pool's
// own queue, so no lock is held across pools.
#pragma once

#include <memory>

#include "platform/base/WeakSet.h"
#include "sdk/formats/ZUMInterstitialPoolRefilling.h"

namespace platform {
class DispatchQueue;
}

class ZUMInterstitialPoolGroupRefillPolicy : public ZUMInterstitialPoolRefilling,
                                             public std::enable_shared_from_this<ZUMInterstitialPoolGroupRefillPolicy> {
 public:
  ~ZUMInterstitialPoolGroupRefillPolicy() override;
  ZUMInterstitialPoolGroupRefillPolicy(const ZUMInterstitialPoolGroupRefillPolicy&) = delete;
  ZUMInterstitialPoolGroupRefillPolicy& operator=(const ZUMInterstitialPoolGroupRefillPolicy&) = delete;

  // Remembers the pool (weakly); does not fill it.
  void addPool(const std::shared_ptr<ZUMInterstitialPool>& pool) override;
  // Fills every pool still alive by one entry.
  virtual void fillPools();

 protected:
  ZUMInterstitialPoolGroupRefillPolicy();
  // The group's own fill, whatever a subclass makes of fillPools().
  void fillEveryPool();
  // This policy as its own class, held weakly (for observers and queued blocks).
  template <class T>
  std::weak_ptr<T> weakAs() {
    return std::static_pointer_cast<T>(shared_from_this());
  }

 private:
  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  platform::WeakSet<ZUMInterstitialPool> pools_;  // on lockQueue_
};
