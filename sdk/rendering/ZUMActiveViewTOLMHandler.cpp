#include "sdk/rendering/ZUMActiveViewTOLMHandler.h"

#include <optional>

#include <nlohmann/json.hpp>

#include "platform/base/StringConversions.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewActiveViewReporter.h"

namespace {

// The unit named by "hashCode"; nullopt (logged) when it is present but no whole
// number of 0 or more, and when it is missing.
std::optional<std::uint64_t> unitID(const nlohmann::ordered_json& parameters) {
  const auto text = ZUMStringForKey(parameters, "hashCode");
  if (!text) return std::nullopt;
  const std::int64_t value = platform::stringIntegerValue(*text);
  if (value < 0) {
    ZUMLog(1, "Active-view message with a negative unit id dropped.");
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(value);
}

}  // namespace

std::shared_ptr<ZUMActiveViewTOLMHandler> ZUMActiveViewTOLMHandler::create() {
  return std::shared_ptr<ZUMActiveViewTOLMHandler>(new ZUMActiveViewTOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMActiveViewTOLMHandler::actionBlockDictionary() const {
  static const auto* table =
      new ActionTable{{"trackActiveViewUnit", action(&ZUMActiveViewTOLMHandler::trackActiveViewUnit)},
                      {"untrackActiveViewUnit", action(&ZUMActiveViewTOLMHandler::untrackActiveViewUnit)},
                      {"visibilityChanged", action(&ZUMActiveViewTOLMHandler::visibilityChanged)}};
  return table;
}

void ZUMActiveViewTOLMHandler::trackActiveViewUnit(ZUMAdView& adView, const nlohmann::ordered_json&) {
  adView.activeViewReporter().start();
}

void ZUMActiveViewTOLMHandler::untrackActiveViewUnit(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  auto& reporter = adView.activeViewReporter();
  if (reporter.reporting()) return reporter.stop();
  const auto id = unitID(parameters);
  auto delegate = delegate_.lock();
  if (id && delegate) delegate->activeViewTOLMHandlerDidReceiveUntrackNotification(*this, *id);
}

void ZUMActiveViewTOLMHandler::visibilityChanged(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  if (!hasParameter(parameters, "isVisible")) return;
  const auto id = unitID(parameters);
  auto delegate = delegate_.lock();
  if (id && delegate) {
    delegate->activeViewTOLMHandlerDidReceiveVisibilityNotification(
        *this, ZUMStringForKey(parameters, "isVisible") == "1", *id);
  }
}
