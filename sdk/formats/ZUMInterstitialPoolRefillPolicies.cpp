// The refill policies of interstitial pools: on pop, on dismissal, when idle, and the
// group base of the last two.
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "sdk/formats/ZUMInterstitialPool.h"
#include "sdk/formats/ZUMInterstitialPoolGroupRefillPolicy.h"
#include "sdk/formats/ZUMInterstitialPoolRefillOnDismissPolicy.h"
#include "sdk/formats/ZUMInterstitialPoolRefillOnPopPolicy.h"
#include "sdk/formats/ZUMInterstitialPoolRefillWhenIdlePolicy.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/request/ZUMFullScreenNotifications.h"

// --- Group -------------------------------------------------------------------------------

ZUMInterstitialPoolGroupRefillPolicy::ZUMInterstitialPoolGroupRefillPolicy()
    : lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.interstitial-pool-refill-policy")) {}

ZUMInterstitialPoolGroupRefillPolicy::~ZUMInterstitialPoolGroupRefillPolicy() = default;

void ZUMInterstitialPoolGroupRefillPolicy::addPool(const std::shared_ptr<ZUMInterstitialPool>& pool) {
  lockQueue_->async([weak = weak_from_this(), pool = std::weak_ptr(pool)] {
    if (auto self = weak.lock()) self->pools_.add(pool.lock());
  });
}

void ZUMInterstitialPoolGroupRefillPolicy::fillPools() { fillEveryPool(); }

void ZUMInterstitialPoolGroupRefillPolicy::fillEveryPool() {
  lockQueue_->async([weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    for (const auto& pool : self->pools_.allObjects()) pool->fill();
  });
}

// --- On pop ------------------------------------------------------------------------------

std::shared_ptr<ZUMInterstitialPoolRefillOnPopPolicy> ZUMInterstitialPoolRefillOnPopPolicy::create() {
  return std::make_shared<ZUMInterstitialPoolRefillOnPopPolicy>();
}

void ZUMInterstitialPoolRefillOnPopPolicy::addPool(const std::shared_ptr<ZUMInterstitialPool>& pool) {
  if (pool) pool->fill();
}

void ZUMInterstitialPoolRefillOnPopPolicy::interstitialPoolDidAddEntry(
    const std::shared_ptr<ZUMInterstitialPool>& pool) {
  if (pool) pool->fill();
}

void ZUMInterstitialPoolRefillOnPopPolicy::interstitialPoolDidRemoveEntry(
    const std::shared_ptr<ZUMInterstitialPool>& pool) {
  if (pool) pool->fill();
}

// --- On dismiss --------------------------------------------------------------------------

std::shared_ptr<ZUMInterstitialPoolRefillOnDismissPolicy> ZUMInterstitialPoolRefillOnDismissPolicy::create() {
  std::shared_ptr<ZUMInterstitialPoolRefillOnDismissPolicy> policy(new ZUMInterstitialPoolRefillOnDismissPolicy());
  policy->dismissalObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMAdModalViewControllerDidDismissFullScreenNotification, nullptr, nullptr,
      ZUMBindWeak(policy->weakAs<ZUMInterstitialPoolRefillOnDismissPolicy>(),
                  &ZUMInterstitialPoolRefillOnDismissPolicy::fillPools));
  return policy;
}

ZUMInterstitialPoolRefillOnDismissPolicy::~ZUMInterstitialPoolRefillOnDismissPolicy() {
  platform::NotificationCenter::defaultCenter().removeObserver(dismissalObserver_);
}

void ZUMInterstitialPoolRefillOnDismissPolicy::interstitialPoolDidAddEntry(
    const std::shared_ptr<ZUMInterstitialPool>& pool) {
  if (pool) pool->fill();
}

// --- When idle ---------------------------------------------------------------------------

ZUMInterstitialPoolRefillWhenIdlePolicy::ZUMInterstitialPoolRefillWhenIdlePolicy()
    : bufferLockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.interstitial-pool-idle-refill-policy")) {}

std::shared_ptr<ZUMInterstitialPoolRefillWhenIdlePolicy> ZUMInterstitialPoolRefillWhenIdlePolicy::create() {
  std::shared_ptr<ZUMInterstitialPoolRefillWhenIdlePolicy> policy(new ZUMInterstitialPoolRefillWhenIdlePolicy());
  policy->observe();
  return policy;
}

void ZUMInterstitialPoolRefillWhenIdlePolicy::observe() {
  using Self = ZUMInterstitialPoolRefillWhenIdlePolicy;
  auto& center = platform::NotificationCenter::defaultCenter();
  const auto weak = weakAs<Self>();
  observers_ = {
      center.addObserver(kZUMVideoPlayerWillStartBufferingNotification, nullptr, nullptr,
                         ZUMBindWeak(weak, &Self::playerWillStartBuffering)),
      center.addObserver(kZUMVideoPlayerDidStopBufferingNotification, nullptr, nullptr,
                         ZUMBindWeak(weak, &Self::playerDidStopBuffering)),
      center.addObserver(kZUMApplicationStatisticsCurrentAdRequestCountChangedNotification, nullptr, nullptr,
                         ZUMBindWeak(weak, &Self::fillPools)),
  };
}

ZUMInterstitialPoolRefillWhenIdlePolicy::~ZUMInterstitialPoolRefillWhenIdlePolicy() {
  for (const auto& observer : observers_) platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

void ZUMInterstitialPoolRefillWhenIdlePolicy::addPool(const std::shared_ptr<ZUMInterstitialPool>& pool) {
  ZUMInterstitialPoolGroupRefillPolicy::addPool(pool);
  fillPools();
}

void ZUMInterstitialPoolRefillWhenIdlePolicy::interstitialPoolDidRemoveEntry(
    const std::shared_ptr<ZUMInterstitialPool>&) {
  fillPools();
}

void ZUMInterstitialPoolRefillWhenIdlePolicy::fillPools() {
  if (ZUMApplication::sharedInstance()->currentAdRequestCount() >= 1) return;
  bufferLockQueue_->async([weak = weakAs<ZUMInterstitialPoolRefillWhenIdlePolicy>()] {
    auto self = weak.lock();
    // A player that went away while buffering is no longer in the set.
    if (self && self->bufferingVideoPlayers_.empty()) self->fillEveryPool();
  });
}

void ZUMInterstitialPoolRefillWhenIdlePolicy::playerWillStartBuffering(const platform::Notification& notification) {
  // Held weakly from here on, so no player's life is prolonged onto this queue.
  bufferLockQueue_->async(
      [weak = weakAs<ZUMInterstitialPoolRefillWhenIdlePolicy>(), player = std::weak_ptr<void>(notification.object())] {
        if (auto self = weak.lock()) self->bufferingVideoPlayers_.add(player.lock());
      });
}

void ZUMInterstitialPoolRefillWhenIdlePolicy::playerDidStopBuffering(const platform::Notification& notification) {
  bufferLockQueue_->async(
      [weak = weakAs<ZUMInterstitialPoolRefillWhenIdlePolicy>(), player = std::weak_ptr<void>(notification.object())] {
        if (auto self = weak.lock()) self->bufferingVideoPlayers_.remove(player.lock());
      });
  fillPools();
}
