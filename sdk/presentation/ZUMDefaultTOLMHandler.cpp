#include "sdk/presentation/ZUMDefaultTOLMHandler.h"

#include <algorithm>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/ui/SystemSound.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/presentation/ZUMViewController.h"
#include "sdk/rendering/ZUMAdView.h"

std::shared_ptr<ZUMDefaultTOLMHandler> ZUMDefaultTOLMHandler::create() {
  return std::shared_ptr<ZUMDefaultTOLMHandler>(new ZUMDefaultTOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMDefaultTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"httpTrack", action(&ZUMDefaultTOLMHandler::httpTrack)},
                                             {"log", action(&ZUMDefaultTOLMHandler::log)},
                                             {"touch", action(&ZUMDefaultTOLMHandler::touch)},
                                             {"vibrate", action(&ZUMDefaultTOLMHandler::vibrate)},
                                             {"canOpenURLs", action(&ZUMDefaultTOLMHandler::canOpenURLs)},
                                             {"close", action(&ZUMDefaultTOLMHandler::close)}};
  return table;
}

std::int32_t ZUMDefaultTOLMHandler::touchValue(const nlohmann::ordered_json& parameters, std::string_view key) {
  constexpr double kLow = std::numeric_limits<std::int32_t>::min();
  constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(doubleParameter(parameters, key, -1), kLow, kHigh));
}

void ZUMDefaultTOLMHandler::httpTrack(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  ZUMClickTrackerCollection::sharedInstance()->trackURL(URLParameter(parameters, "u"));
}

void ZUMDefaultTOLMHandler::log(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  ZUMLog(1, ZUMStringForKey(parameters, "string").value_or(""));
}

void ZUMDefaultTOLMHandler::touch(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const std::int32_t x = touchValue(parameters, "tx");
  const std::int32_t y = touchValue(parameters, "ty");
  const std::int32_t duration = touchValue(parameters, "td");
  platform::DispatchQueue::main()->async([x, y, duration] { ZUMSignalsReportTouch(x, y, duration); });
}

void ZUMDefaultTOLMHandler::vibrate(ZUMAdView&, const nlohmann::ordered_json&) {
  platform::SystemSound::play(platform::SystemSound::kVibrate);
}

void ZUMDefaultTOLMHandler::canOpenURLs(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  std::vector<std::string> strings;
  if (const auto urls = ZUMStringForKey(parameters, "urls")) {
    for (std::size_t start = 0;;) {
      const auto comma = urls->find(',', start);
      strings.push_back(urls->substr(start, comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  auto view = std::static_pointer_cast<ZUMAdView>(adView.shared_from_this());
  platform::DispatchQueue::main()->async([weak = std::weak_ptr<ZUMAdView>(view), strings = std::move(strings)] {
    auto answer = ZUMDevice::sharedInstance()->canOpenURLs(strings);
    if (auto live = weak.lock()) live->postJSNotification("openableURLs", answer);
  });
}

void ZUMDefaultTOLMHandler::close(ZUMAdView& adView, const nlohmann::ordered_json&) {
  if (auto controller = std::dynamic_pointer_cast<ZUMViewController>(adView.viewController())) {
    controller->relinquishScreenWithCompletion(nullptr);
  }
}
