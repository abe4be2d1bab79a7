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
  const auto amountText = ZUMStringForKey(parameters, "amount");
  auto formats = ZUMAdFormats::shared();
  // The page's amount is text: read exactly, so "2.50" is 2.5 and "1e400" or "nan" is none.
  auto reward = formats ? formats->makeReward(ZUMStringForKey(parameters, "type"),
                                              amountText ? platform::Decimal::fromString(*amountText) : std::nullopt)
                        : nullptr;
  // The delegate hears the grant all the same: the ad's own reward, when it has one,
  // is what the user earns.
  if (!reward) ZUMLog(1, "Reward message carries no valid reward.");
  delegate->rewardBasedVideoAdTOLMHandlerDidReceiveRewardNotificationWithRewardItem(reward);
}
