#include "sdk/rendering/ZUMDelayPageCloseTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "platform/base/NotificationCenter.h"
#include "sdk/rendering/ZUMAdView.h"

std::shared_ptr<ZUMDelayPageCloseTOLMHandler> ZUMDelayPageCloseTOLMHandler::create() {
  return std::shared_ptr<ZUMDelayPageCloseTOLMHandler>(new ZUMDelayPageCloseTOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMDelayPageCloseTOLMHandler::actionBlockDictionary() const {
  static const auto* table =
      new ActionTable{{"delayPageClosed", action(&ZUMDelayPageCloseTOLMHandler::delayPageClosed)}};
  return table;
}

bool ZUMDelayPageCloseTOLMHandler::shouldBufferNotification(const ZUMNotification&, const ZUMAdView& adView) {
  return !adView.attachedToPlacement();
}

void ZUMDelayPageCloseTOLMHandler::delayPageClosed(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  auto& center = platform::NotificationCenter::defaultCenter();
  const auto object = std::static_pointer_cast<ZUMAdView>(adView.shared_from_this());
  if (boolParameter(parameters, "start")) center.post(kZUMDelayPageCloseStartNotification, object);
  if (boolParameter(parameters, "stop")) center.post(kZUMDelayPageCloseStopNotification, object);
}
