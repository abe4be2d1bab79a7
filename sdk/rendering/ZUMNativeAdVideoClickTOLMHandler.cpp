#include "sdk/rendering/ZUMNativeAdVideoClickTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "platform/base/NotificationCenter.h"
#include "sdk/rendering/ZUMAdView.h"

std::shared_ptr<ZUMNativeAdVideoClickTOLMHandler> ZUMNativeAdVideoClickTOLMHandler::create() {
  return std::shared_ptr<ZUMNativeAdVideoClickTOLMHandler>(new ZUMNativeAdVideoClickTOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMNativeAdVideoClickTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"videoClicked", action(&ZUMNativeAdVideoClickTOLMHandler::videoClicked)}};
  return table;
}

void ZUMNativeAdVideoClickTOLMHandler::videoClicked(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  platform::NotificationCenter::defaultCenter().post(
      kZUMNativeAdVideoClickNotification, std::static_pointer_cast<ZUMAdView>(adView.shared_from_this()), parameters);
}
