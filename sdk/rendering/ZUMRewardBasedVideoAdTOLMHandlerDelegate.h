// Hears the rewarded-video messages of an ad page: the video started, and the user
// earned a reward. The ad view's owner (an interstitial) sets itself on its slot's ad
// view; the page's reward message handler reads it from there. Held weakly; called on
// the thread that delivers the page's message.
#pragma once

#include <memory>

class ZUMAdReward;

class ZUMRewardBasedVideoAdTOLMHandlerDelegate {
 public:
  virtual ~ZUMRewardBasedVideoAdTOLMHandlerDelegate() = default;
  // `rewardItem` is nullptr when the page's grant carried no valid reward.
  virtual void rewardBasedVideoAdTOLMHandlerDidReceiveRewardNotificationWithRewardItem(
      const std::shared_ptr<ZUMAdReward>& rewardItem) = 0;
  virtual void rewardBasedVideoAdTOLMHandlerDidReceiveStartVideoNotification() = 0;
};
