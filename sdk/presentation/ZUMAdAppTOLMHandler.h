// The full-screen ad's messages to its controller: "customClose" ("custom_close" "1"
// hides the SDK's close button) and "setInterstitialProperties" ("transparentBackground"
// "1" gives the controller a transparent presenter, any other value the modal one it
// takes by default), the latter only before the controller is on screen. Both need the
// ad view's controller to be a ZUMAdAppViewController; messages wait while the ad view
// has no controller.
//
// The transparent presenter comes from the maker given at creation; without one the
// request for a transparent background is logged and the presenter left as it is.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMOverlayPresenting;

using ZUMOverlayPresenterMaker = std::function<std::shared_ptr<ZUMOverlayPresenting>()>;

class ZUMAdAppTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMAdAppTOLMHandler> create(ZUMOverlayPresenterMaker transparentPresenterMaker = {});
  const ActionTable* actionBlockDictionary() const override;
  bool shouldBufferNotification(const ZUMNotification& notification, const ZUMAdView& adView) override;

 private:
  explicit ZUMAdAppTOLMHandler(ZUMOverlayPresenterMaker maker) : transparentPresenterMaker_(std::move(maker)) {}
  void customClose(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void setInterstitialProperties(ZUMAdView& adView, const nlohmann::ordered_json& parameters);

  const ZUMOverlayPresenterMaker transparentPresenterMaker_;
};
