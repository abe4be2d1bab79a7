#include "sdk/rendering/ZUMAdRefreshTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/request/ZUMSlot.h"

std::shared_ptr<ZUMAdRefreshTOLMHandler> ZUMAdRefreshTOLMHandler::create(std::shared_ptr<ZUMOpener> opener) {
  return std::shared_ptr<ZUMAdRefreshTOLMHandler>(new ZUMAdRefreshTOLMHandler(std::move(opener)));
}

const ZUMTOLMHandler::ActionTable* ZUMAdRefreshTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"refresh", action(&ZUMAdRefreshTOLMHandler::refresh)}};
  return table;
}

void ZUMAdRefreshTOLMHandler::refresh(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  if (ZUMUserDefaults::boolForKey(ZUMUserDefaults::keyForName("enable_refresh_tolm_protection")).value_or(false))
    return;
  auto slot = opener_ ? opener_->slot() : nullptr;
  if (!slot) return;
  const auto action = ZUMStringForKey(parameters, "action");
  if (action == "pause") {
    slot->setReloadable(false);
    slot->deactivateReloadTimer();
  } else if (action == "resume") {
    slot->setReloadable(true);
    slot->scheduleAdReloadTimer();
  }
}
