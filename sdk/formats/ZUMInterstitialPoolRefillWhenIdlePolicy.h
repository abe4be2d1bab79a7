// Refills pools only when the SDK is idle: no ad request in flight (the hub's current
// request count) and no video player buffering. Each idle moment fills every pool by one
// entry; adds do not chain, since an entry's own load changes the request count and its
// end is the next idle moment. Checked when a pool is added, when an entry leaves a
// pool, when the request count changes and when a player stops buffering.
//
// Buffering players are held weakly: a player that goes away while buffering counts as
// stopped.
//
// Any thread; notifications are heard on the posting thread. The observers hold the
// policy weakly and are removed when the policy goes. The buffering players live on the
// serial queue "com.vantor.morvane.interstitial-pool-idle-refill-policy".
#pragma once

#include <memory>
#include <vector>

#include "platform/base/NotificationCenter.h"
#include "platform/base/WeakSet.h"
#include "sdk/formats/ZUMInterstitialPoolGroupRefillPolicy.h"

namespace platform {
class DispatchQueue;
}

// Posted by the video player, with itself as the object.
inline constexpr const char* kZUMVideoPlayerWillStartBufferingNotification =
    "ZUMVideoPlayerWillStartBufferingNotification";
inline constexpr const char* kZUMVideoPlayerDidStopBufferingNotification = "ZUMVideoPlayerDidStopBufferingNotification";

class ZUMInterstitialPoolRefillWhenIdlePolicy final : public ZUMInterstitialPoolGroupRefillPolicy {
 public:
  static std::shared_ptr<ZUMInterstitialPoolRefillWhenIdlePolicy> create();
  ~ZUMInterstitialPoolRefillWhenIdlePolicy() override;

  void addPool(const std::shared_ptr<ZUMInterstitialPool>& pool) override;
  void interstitialPoolDidRemoveEntry(const std::shared_ptr<ZUMInterstitialPool>& pool) override;
  // Fills every pool when nothing is loading or buffering.
  void fillPools() override;

 private:
  ZUMInterstitialPoolRefillWhenIdlePolicy();
  void observe();
  void playerWillStartBuffering(const platform::Notification& notification);
  void playerDidStopBuffering(const platform::Notification& notification);

  const std::shared_ptr<platform::DispatchQueue> bufferLockQueue_;
  platform::WeakSet<void> bufferingVideoPlayers_;  // on bufferLockQueue_
  std::vector<platform::NotificationCenter::Token> observers_;
};
