#include "sdk/presentation/ZUMAdAppTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/presentation/ZUMAdAppViewController.h"
#include "sdk/presentation/ZUMOverlayPresenting.h"
#include "sdk/rendering/ZUMAdView.h"

std::shared_ptr<ZUMAdAppTOLMHandler> ZUMAdAppTOLMHandler::create(ZUMOverlayPresenterMaker transparentPresenterMaker) {
  return std::shared_ptr<ZUMAdAppTOLMHandler>(new ZUMAdAppTOLMHandler(std::move(transparentPresenterMaker)));
}

const ZUMTOLMHandler::ActionTable* ZUMAdAppTOLMHandler::actionBlockDictionary() const {
  static const auto* table =
      new ActionTable{{"customClose", action(&ZUMAdAppTOLMHandler::customClose)},
                      {"setInterstitialProperties", action(&ZUMAdAppTOLMHandler::setInterstitialProperties)}};
  return table;
}

bool ZUMAdAppTOLMHandler::shouldBufferNotification(const ZUMNotification&, const ZUMAdView& adView) {
  return !adView.viewController();
}

void ZUMAdAppTOLMHandler::customClose(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  if (auto controller = std::dynamic_pointer_cast<ZUMAdAppViewController>(adView.viewController())) {
    controller->setUseCustomClose(ZUMStringForKey(parameters, "custom_close") == "1");
  }
}

void ZUMAdAppTOLMHandler::setInterstitialProperties(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  auto controller = std::dynamic_pointer_cast<ZUMAdAppViewController>(adView.viewController());
  const auto transparent = ZUMStringForKey(parameters, "transparentBackground");
  // On screen, the presenter can no longer change.
  if (!controller || !transparent || controller->view()->superview()) return;
  if (*transparent != "1") return controller->setPresenter(nullptr);
  auto presenter = transparentPresenterMaker_ ? transparentPresenterMaker_() : nullptr;
  if (!presenter) {
    ZUMLog(1, "A transparent background was asked for, but no transparent presenter is available.");
    return;
  }
  controller->setPresenter(presenter);
}
