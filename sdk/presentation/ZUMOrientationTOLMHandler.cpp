#include "sdk/presentation/ZUMOrientationTOLMHandler.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMOrientation.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/presentation/ZUMAdAppViewController.h"
#include "sdk/rendering/ZUMAdView.h"

std::shared_ptr<ZUMOrientationTOLMHandler> ZUMOrientationTOLMHandler::create() {
  return std::shared_ptr<ZUMOrientationTOLMHandler>(new ZUMOrientationTOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMOrientationTOLMHandler::actionBlockDictionary() const {
  static const auto* table =
      new ActionTable{{"forceOrientation", action(&ZUMOrientationTOLMHandler::forceOrientation)}};
  return table;
}

void ZUMOrientationTOLMHandler::forceOrientation(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  const auto mask = ZUMInterfaceOrientationMaskFromString(ZUMStringForKey(parameters, "orientation"));
  const bool override = ZUMStringForKey(parameters, "override") == "1";
  // Single precision, as the page's number is read.
  const double duration = static_cast<float>(doubleParameter(parameters, "animationDuration"));
  auto controller = std::dynamic_pointer_cast<ZUMAdAppViewController>(adView.viewController());
  if (mask == 0 || !controller) return;
  const auto current = controller->adOrientations();
  if (!override && current != 0 && !ZUMInterfaceOrientationMaskHasPortraitAndLandscape(current)) return;
  controller->setAdOrientationsOverridesLockedOrientation(override);
  controller->setOrientationUpdateAnimationDuration(std::clamp(duration, 0.0, kZUMMaxOrientationAnimationDuration));
  controller->setAdOrientations(mask);
}
