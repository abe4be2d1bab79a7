#include "sdk/rendering/ZUMAppEventTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "ZUMSlotDelegate.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/request/ZUMSlot.h"

std::shared_ptr<ZUMAppEventTOLMHandler> ZUMAppEventTOLMHandler::create(const std::shared_ptr<ZUMSlot>& slot) {
  return std::shared_ptr<ZUMAppEventTOLMHandler>(new ZUMAppEventTOLMHandler(slot));
}

const ZUMTOLMHandler::ActionTable* ZUMAppEventTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"appEvent", action(&ZUMAppEventTOLMHandler::appEvent)}};
  return table;
}

bool ZUMAppEventTOLMHandler::shouldBufferNotification(const ZUMNotification&, const ZUMAdView&) {
  auto slot = slot_.lock();
  return !slot || !slot->placement();
}

void ZUMAppEventTOLMHandler::appEvent(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto name = ZUMStringForKey(parameters, "name");
  auto slot = slot_.lock();
  if (!name || !slot) return;
  if (auto delegate = slot->slotDelegate())
    delegate->slotDidReceiveAppEvent(*slot, *name, ZUMStringForKey(parameters, "info"));
}
