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
  if (value == "p")
    return platform::kInterfaceOrientationMaskPortrait | platform::kInterfaceOrientationMaskPortraitUpsideDown;
  if (value == "l") return platform::kInterfaceOrientationMaskLandscape;
  if (value == "c") {
    const bool landscape =
        platform::isInterfaceOrientationLandscape(platform::Application::shared().statusBarOrientation());
    return landscape
               ? platform::kInterfaceOrientationMaskLandscape
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

// A "u" URL wins; else the "html" with its "baseurl" (the opener keeps only an http(s)
// base URL).
void ZUMOpenerTOLMHandler::openWebApp(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  if (!opener_) return;
  const auto mask = orientationFromParams(parameters);
  const bool customClose = shouldUseCustomClose(parameters);
  if (auto url = URLParameter(parameters, "u")) {
    opener_->openWebApp(url, mask, customClose);
  } else if (auto html = ZUMStringForKey(parameters, "html")) {
    opener_->openWebAppWithHTML(html, URLParameter(parameters, "baseurl"), mask, customClose);
  }
}

void ZUMOpenerTOLMHandler::expand(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  if (opener_)
    opener_->expandToWebAppWithSupportedOrientations(orientationFromParams(parameters),
                                                     shouldUseCustomClose(parameters));
}

void ZUMOpenerTOLMHandler::openApp(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto url = URLParameter(parameters, "u");
  if (url && opener_) opener_->openApp(clickURL(*url));
}

void ZUMOpenerTOLMHandler::openAppLink(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto url = URLParameter(parameters, "u");
  const auto eventID = ZUMStringForKey(parameters, "event_id");
  if (!url || !eventID || !opener_) return;
  platform::DispatchQueue::main()->async(
      [opener = opener_, url = *url, eventID = *eventID] { opener->openAppLink(url, eventID); });
}
