// The page's "reward" message: "action" "video_start" tells the ad view's reward delegate
// the video started; "grant" hands it the reward of type "type" and amount "amount".
// Any other action does nothing.
//
// The reward is made by the formats area (ZUMAdFormats::makeReward) from "type" and the
// exact decimal that "amount" spells. When none can be made (no formats area, a missing
// type, an amount that is missing, not a number, NaN or infinite) the grant is logged
// and its delegate hears it with no reward item, so that an ad with a reward of its own
// still pays that one.
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
