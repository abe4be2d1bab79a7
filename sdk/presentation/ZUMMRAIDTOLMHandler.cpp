#include "sdk/presentation/ZUMMRAIDTOLMHandler.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StringConversions.h"
#include "platform/ui/Application.h"
#include "sdk/foundation/ZUMOrientation.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/presentation/ZUMAdAppViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMMRAIDResizeProperties.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMSlot.h"

namespace {

// The longest orientation animation a page may ask for, in seconds.
constexpr float kMaxOrientationAnimationDuration = 10;

}  // namespace

std::shared_ptr<ZUMMRAIDTOLMHandler> ZUMMRAIDTOLMHandler::create(std::shared_ptr<ZUMOpener> opener) {
  return std::shared_ptr<ZUMMRAIDTOLMHandler>(new ZUMMRAIDTOLMHandler(std::move(opener)));
}

const ZUMTOLMHandler::ActionTable* ZUMMRAIDTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"mraid", action(&ZUMMRAIDTOLMHandler::MRAID)},
                                             {"mraidLoaded", action(&ZUMMRAIDTOLMHandler::MRAIDLoaded)}};
  return table;
}

const ZUMTOLMHandler::ActionTable* ZUMMRAIDTOLMHandler::subActionBlockDictionary() const {
  static const auto* table = new ActionTable{
      {"resize", action(&ZUMMRAIDTOLMHandler::resize)},
      {"storePicture", action(&ZUMMRAIDTOLMHandler::storePicture)},
      {"createCalendarEvent", action(&ZUMMRAIDTOLMHandler::createCalendarEvent)},
      {"setOrientationProperties", action(&ZUMMRAIDTOLMHandler::setOrientationProperties)},
  };
  return table;
}

void ZUMMRAIDTOLMHandler::MRAID(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  platform::assertMainThread();
  runSubAction("a", adView, parameters);
}

void ZUMMRAIDTOLMHandler::MRAIDLoaded(ZUMAdView& adView, const nlohmann::ordered_json&) {
  auto slot = opener_ ? opener_->slot() : nullptr;
  // Only the slot's own page: a second page of the ad (an expanded one) is not the ad.
  if (slot && slot->adView().get() == &adView) ZUMSlotEventHandler::forSlot(*slot)->MRAIDAdDidLoad();
}

void ZUMMRAIDTOLMHandler::resize(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  if (opener_) opener_->openWebAppWithResizeProperties(ZUMMRAIDResizeProperties::create(parameters));
}

void ZUMMRAIDTOLMHandler::storePicture(ZUMAdView&, const nlohmann::ordered_json&) {
  if (opener_) opener_->openPromptToStorePictureAtURL(std::nullopt);
}

void ZUMMRAIDTOLMHandler::createCalendarEvent(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  if (opener_) opener_->openCalendarWithDictionary(parameters);
}

void ZUMMRAIDTOLMHandler::setOrientationProperties(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  if (!opener_) return;
  auto controller = std::dynamic_pointer_cast<ZUMAdAppViewController>(opener_->viewController());
  if (!controller) return;
  const auto allow = ZUMStringForKey(parameters, "allowOrientationChange");
  const auto force = ZUMStringForKey(parameters, "forceOrientation");
  if (!allow || !force) {
    opener_->reportMRAIDError("Received invalid orientation properties", "setOrientationProperties");
    return;
  }
  // By the platform's numbers (1 portrait, 2 upside down, 3 landscape right, 4 landscape
  // left): the bit of orientation o is 1 << o; an unknown orientation has none.
  const auto bit = platform::interfaceOrientationMask(platform::Application::shared().statusBarOrientation());
  platform::InterfaceOrientationMask mask = 0;
  if (platform::stringBoolValue(*allow)) {
    mask = platform::kInterfaceOrientationMaskAll;
  } else if (*force == "none") {
    const auto current = controller->adOrientations();
    mask = current != 0 && !ZUMInterfaceOrientationMaskHasPortraitAndLandscape(current) ? current : bit;
  } else {
    mask = ZUMInterfaceOrientationMaskFromString(*force);
  }
  // A duration the page cannot mean (negative, not finite, huge) animates for none.
  float duration = 0;
  if (const auto text = ZUMStringForKey(parameters, "animationDuration")) duration = platform::stringFloatValue(*text);
  if (!std::isfinite(duration) || duration < 0 || duration > kMaxOrientationAnimationDuration) duration = 0;
  controller->setAdOrientationsOverridesLockedOrientation(true);
  controller->setAdOrientations(mask);
  controller->setOrientationUpdateAnimationDuration(duration);
}
