// The rendering area's side of a slot's response processing (ZUMSlotResponseProcessing):
// a fetched ad is dispatched by its response type. A standard ad renders in the slot's
// ad view (state 5) and is reported by the ad-view delegate when its page has loaded; a
// mediation response is checked and handed to mediation; a custom-rendering ad waits
// for a placement and is offered to the owner; an ad-network script ad runs under a
// ZUMAdNetworkJavaScriptAdViewDelegate. Also the slot's sizing of its ad view for
// multi-size and fluid ads and the content-size report.
//
// The SDK's load entry installs it with ZUMSlotResponseProcessing::setShared().
//
// Main thread only.
#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZUMAdSize.h"
#include "platform/ui/Geometry.h"
#include "sdk/request/ZUMSlotResponseProcessing.h"

namespace platform {
class View;
class ViewController;
}

class ZUMSlotResponseProcessor final : public ZUMSlotResponseProcessing {
 public:
  // --- ZUMSlotResponseProcessing --------------------------------------------------------
  // A response type outside 1 to 4 fails the load (invalid response, code 13).
  void processAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) override;
  // Empty HTML fails with code 2 "Empty ad HTML." (pending actions cancelled), then the
  // reload timer is scheduled.
  void loadAdNetworkJavaScriptRequest(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) override;
  // The ad becomes the shown ad (nullptr keeps the shown one); its debug signal is sent.
  void finishedLoadingAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) override;
  // The owner is offered the ad; a refusal fails the load with the owner's error or
  // code 12 "Custom rendered ad could not be rendered by delegate.".
  void renderPendingCustomRenderingAd(ZUMSlot& slot) override;

  static void processStandardAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad);
  static void processMediationAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad);
  static void processCustomRenderingAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad);

  // --- Sizing ---------------------------------------------------------------------------
  // Tells the owner of the ad view and of a multi-size result, then newAdSize() = zero.
  static void setViewForAdUsingView(ZUMSlot& slot, const std::shared_ptr<platform::View>& view);
  // The size to resize to: kZUMAdSizeInvalid unless the owner's valid sizes allow fluid
  // (the owner's bounds) or hold newAdSize() (when it differs from the ad type's size).
  static ZUMAdSize adSizeForMultiSizeAd(ZUMSlot& slot);
  // Whether some element of the list is a boxed, valid ad size equal to `size`.
  static bool validateAdResponseWithAdSize(const ZUMAdSize& size, const std::vector<std::any>& validAdSizes);
  // The creative's content size changed: tells the owner (slotContentSizeDidChange).
  static void updateContentSize(ZUMSlot& slot, platform::Size size);

  // --- Mediation glue -------------------------------------------------------------------
  // Whether the next request's extras carry "pw".
  static bool isBeingMediated(const ZUMSlot& slot);
  static bool isMediating(const ZUMSlot& slot);
  // The owner's root view controller, when it answers one.
  static std::shared_ptr<platform::ViewController> viewControllerForPresentingModalView(ZUMSlot& slot);
};
