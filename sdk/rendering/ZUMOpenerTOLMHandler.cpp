#include "sdk/rendering/ZUMOpenerTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/ui/Application.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMSlot.h"

std::shared_ptr<ZUMOpenerTOLMHandler> ZUMOpenerTOLMHandler::create(std::shared_ptr<ZUMOpener> opener) {
  return std::shared_ptr<ZUMOpenerTOLMHandler>(new ZUMOpenerTOLMHandler(std::move(opener)));
}

const ZUMTOLMHandler::ActionTable* ZUMOpenerTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"click", action(&ZUMOpenerTOLMHandler::click)},
                                             {"open", action(&ZUMOpenerTOLMHandler::open)},
                                             {"fetchAppStore", action(&ZUMOpenerTOLMHandler::fetchInAppStore)}};
  return table;
}

const ZUMTOLMHandler::ActionTable* ZUMOpenerTOLMHandler::subActionBlockDictionary() const {
  static const auto* table = new ActionTable{
      {"in_app_store", action(&ZUMOpenerTOLMHandler::openInAppStore)},
      {"browser", action(&ZUMOpenerTOLMHandler::openBrowser)},
      {"video", action(&ZUMOpenerTOLMHandler::openBrowser)},
      {"inline_browser", action(&ZUMOpenerTOLMHandler::openInlineSafari)},
      {"webapp", action(&ZUMOpenerTOLMHandler::openWebApp)},
      {"expand", action(&ZUMOpenerTOLMHandler::expand)},
      {"call", action(&ZUMOpenerTOLMHandler::openApp)},
      {"app", action(&ZUMOpenerTOLMHandler::openApp)},
      {"deep_link", action(&ZUMOpenerTOLMHandler::openAppLink)},
  };
  return table;
}

std::uint64_t ZUMOpenerTOLMHandler::orientationFromParams(const nlohmann::ordered_json& parameters) {
  const auto value = ZUMStringForKey(parameters, "o");
  if (value == "p") return platform::kInterfaceOrientationMaskPortrait | platform::kInterfaceOrientationMaskPortraitUpsideDown;
  if (value == "l") return platform::kInterfaceOrientationMaskLandscape;
  if (value == "c") {
    const bool landscape = platform::isInterfaceOrientationLandscape(platform::Application::shared().statusBarOrientation());
    return landscape ? platform::kInterfaceOrientationMaskLandscape
                     : platform::kInterfaceOrientationMaskPortrait | platform::kInterfaceOrientationMaskPortraitUpsideDown;
  }
  return platform::kInterfaceOrientationMaskAll;
}

bool ZUMOpenerTOLMHandler::shouldUseCustomClose(const nlohmann::ordered_json& parameters) {
  return ZUMStringForKey(parameters, "custom_close") == "1";
}

platform::URL ZUMOpenerTOLMHandler::clickURL(const platform::URL& url) const {
  auto slot = opener_ ? opener_->slot() : nullptr;
  return slot ? ZUMSlotEventHandler::forSlot(*slot)->gestureClickURLWithURL(url) : url;
}

void ZUMOpenerTOLMHandler::click(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto url = URLParameter(parameters, "u");
  ZUMClickTrackerCollection::sharedInstance()->trackURL(url ? std::optional(clickURL(*url)) : std::nullopt);
}

void ZUMOpenerTOLMHandler::open(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  if (!runSubAction("a", adView, parameters)) openApp(adView, parameters);
}

void ZUMOpenerTOLMHandler::fetchInAppStore(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  if (opener_) opener_->fetchInAppStoreForProductID(ZUMStringForKey(parameters, "product_id"));
}

void ZUMOpenerTOLMHandler::openInAppStore(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  if (!opener_) return;
  const auto wait = ZUMStringForKey(parameters, "wait_for_fetch");
  opener_->openInAppStoreWithProductID(
      ZUMStringForKey(parameters, "product_id"), URLParameter(parameters, "u"),
      !wait || *wait == "true" ? ZUMStoreSheetPresentation::AfterFetch : ZUMStoreSheetPresentation::AtOnce);
}

void ZUMOpenerTOLMHandler::openBrowser(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto url = URLParameter(parameters, "u");
  if (url && opener_) opener_->openBrowserToURL(url, orientationFromParams(parameters));
}

void ZUMOpenerTOLMHandler::openInlineSafari(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto url = URLParameter(parameters, "u");
  if (url && opener_) opener_->openSafariViewControllerToURL(url, orientationFromParams(parameters));
}

// Web apps and expansion are not carried out by this SDK yet; the message stays claimed
// so that it never opens as "app".
void ZUMOpenerTOLMHandler::openWebApp(ZUMAdView&, const nlohmann::ordered_json&) {
  ZUMLog(kZUMLogLevelDefault, "The web app of an \"open\" message is not available; nothing opened.");
}

void ZUMOpenerTOLMHandler::expand(ZUMAdView&, const nlohmann::ordered_json&) {
  ZUMLog(kZUMLogLevelDefault, "Expanding an ad is not available; nothing opened.");
}

void ZUMOpenerTOLMHandler::openApp(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto url = URLParameter(parameters, "u");
  if (url && opener_) opener_->openApp(clickURL(*url));
}

void ZUMOpenerTOLMHandler::openAppLink(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto url = URLParameter(parameters, "u");
  const auto eventID = ZUMStringForKey(parameters, "event_id");
  if (!url || !eventID || !opener_) return;
  platform::DispatchQueue::main()->async([opener = opener_, url = *url, eventID = *eventID] {
    opener->openAppLink(url, eventID);
  });
}
