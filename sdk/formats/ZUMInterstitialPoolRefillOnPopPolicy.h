// The default refill policy: a pool is filled when it is added and after every add or
// removal of an entry, so pools are topped up to their depth at once and refilled as
// soon as an entry is taken or expires. It keeps no list of pools.
//
// Any thread.
#pragma once

#include <memory>

#include "sdk/formats/ZUMInterstitialPoolRefilling.h"

class ZUMInterstitialPoolRefillOnPopPolicy final : public ZUMInterstitialPoolRefilling {
 public:
  static std::shared_ptr<ZUMInterstitialPoolRefillOnPopPolicy> create();

  void addPool(const std::shared_ptr<ZUMInterstitialPool>& pool) override;
  void interstitialPoolDidAddEntry(const std::shared_ptr<ZUMInterstitialPool>& pool) override;
  void interstitialPoolDidRemoveEntry(const std::shared_ptr<ZUMInterstitialPool>& pool) override;
};
