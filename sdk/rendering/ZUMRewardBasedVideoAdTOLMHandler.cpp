#include "sdk/rendering/ZUMRewardBasedVideoAdTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMRewardBasedVideoAdTOLMHandlerDelegate.h"
#include "sdk/request/ZUMAdFormats.h"

std::shared_ptr<ZUMRewardBasedVideoAdTOLMHandler> ZUMRewardBasedVideoAdTOLMHandler::create() {
  return std::shared_ptr<ZUMRewardBasedVideoAdTOLMHandler>(new ZUMRewardBasedVideoAdTOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMRewardBasedVideoAdTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"reward", action(&ZUMRewardBasedVideoAdTOLMHandler::reward)}};
  return table;
}

void ZUMRewardBasedVideoAdTOLMHandler::reward(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  const auto action = ZUMStringForKey(parameters, "action");
  auto delegate = adView.rewardBasedVideoAdTOLMHandlerDelegate();
  if (action == "video_start") {
    if (delegate) delegate->rewardBasedVideoAdTOLMHandlerDidReceiveStartVideoNotification();
    return;
  }
  if (action != "grant" || !delegate) return;
  nlohmann::ordered_json dictionary = nlohmann::ordered_json::object();
  if (auto type = ZUMStringForKey(parameters, "type")) dictionary["rb_type"] = *type;
  if (auto amount = ZUMStringForKey(parameters, "amount")) dictionary["rb_amount"] = *amount;
  auto formats = ZUMAdFormats::shared();
  auto reward = formats ? formats->makeReward(dictionary) : nullptr;
  if (!reward) {
    ZUMLog(1, "Reward message dropped: no reward could be made of it.");
    return;
  }
  delegate->rewardBasedVideoAdTOLMHandlerDidReceiveRewardNotificationWithRewardItem(reward);
}
