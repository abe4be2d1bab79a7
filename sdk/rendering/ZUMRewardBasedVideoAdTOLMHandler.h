// The page's "reward" message: "action" "video_start" tells the ad view's reward delegate
// the video started; "grant" hands it the reward of type "type" and amount "amount".
// Any other action does nothing.
//
// The reward is made by the formats area (ZUMAdFormats::makeReward, from {"rb_type",
// "rb_amount"} with the page's texts as they stand), which owns the reward's type and
// its decimal amount; without a formats area, or when it makes no reward, the grant is
// logged and dropped.
//
// Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMRewardBasedVideoAdTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMRewardBasedVideoAdTOLMHandler> create();
  const ActionTable* actionBlockDictionary() const override;

 private:
  ZUMRewardBasedVideoAdTOLMHandler() = default;
  void reward(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
};
