#include "sdk/rendering/ZUMAdViewSlotEvents.h"

#include <nlohmann/json.hpp>

#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMMRAIDEventHandling.h"
#include "sdk/request/ZUMSlot.h"

namespace {
using Json = nlohmann::ordered_json;
}

std::vector<Json> ZUMAdViewSlotEvents::eventsForStep(const ZUMSlot& slot, const std::string& name, const Json& info) {
  std::vector<Json> events;
  if (name == "loading_started" && slot.adUnitID()) {
    events.push_back(Json{{"slot", {{"ad_context", {{"ad_unit_id", *slot.adUnitID()}}}}}});
  }
  if (name == "direct_loading_from_url") {
    // A value event of the URL itself.
    const Json url = info.is_object() && info.contains("url") && info["url"].is_string() ? info["url"] : Json("");
    events.push_back(Json{{"slot", {{name, url}}}});
  } else if (!info.is_object() || info.empty()) {
    events.push_back(Json{{"slot", {{name, 1}}}});
  } else {
    events.push_back(Json{{"slot", {{name, info}}}});
  }
  return events;
}

void ZUMAdViewSlotEvents::logEvent(ZUMSlot& slot, const std::string& name, const Json& info) {
  if (!sink_) return;
  for (const auto& event : eventsForStep(slot, name, info)) sink_(slot, event);
}

void ZUMAdViewSlotEvents::MRAIDAdDidUnload(const std::shared_ptr<ZUMAd>& ad) {
  if (auto handler = ad ? ad->MRAIDEventHandler() : nullptr) handler->MRAIDAdDidUnload();
}

void ZUMAdViewSlotEvents::startImpressionMonitoring(ZUMSlot& slot) {
  ZUMSlotActiveView::forSlot(slot)->startImpressionMonitoring();
}

void ZUMAdViewSlotEvents::postVolumeNotification(ZUMSlot& slot) {
  ZUMSlotEventHandler::forSlot(slot)->postVolumeNotification();
}
