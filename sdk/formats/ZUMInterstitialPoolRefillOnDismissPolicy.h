// Refills pools only after a full-screen ad was dismissed
// ("kAdModalViewControllerDidDismissFullScreen", from any sender): each dismissal fills
// every pool by one entry, and each add chains to the next until the pool is full. New
// pools stay empty until then; taken or expired entries do not refill by themselves.
//
// Any thread; the notification is heard on the posting thread. The observer holds the
// policy weakly and is removed when the policy goes.
#pragma once

#include <memory>

#include "platform/base/NotificationCenter.h"
#include "sdk/formats/ZUMInterstitialPoolGroupRefillPolicy.h"

class ZUMInterstitialPoolRefillOnDismissPolicy final : public ZUMInterstitialPoolGroupRefillPolicy {
 public:
  static std::shared_ptr<ZUMInterstitialPoolRefillOnDismissPolicy> create();
  ~ZUMInterstitialPoolRefillOnDismissPolicy() override;

  void interstitialPoolDidAddEntry(const std::shared_ptr<ZUMInterstitialPool>& pool) override;

 private:
  ZUMInterstitialPoolRefillOnDismissPolicy() = default;

  platform::NotificationCenter::Token dismissalObserver_;
};
