// What the slot asks of response processing: dispatching a fetched ad by its response
// type, running ad-network script ads, and making a loaded ad the shown one. The area
// implements it and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr): a fetched ad and a script ad fail the load with
// code 11 (internal error); a loaded ad only becomes the slot's shown ad; a pending
// custom-rendering ad waits.
//
// Called on the main thread, never from the slot's destructor.
#pragma once

#include <memory>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAd;
class ZUMSlot;

class ZUMSlotResponseProcessing : public ZUMSharedInterface<ZUMSlotResponseProcessing> {
 public:
  virtual ~ZUMSlotResponseProcessing() = default;

  // Dispatches a fetched ad by its response type (state 4 on entry).
  virtual void processAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) = 0;
  // Runs an ad-network script ad.
  virtual void loadAdNetworkJavaScriptRequest(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) = 0;
  // The ad's page has loaded: the loading ad (may be nullptr) becomes the shown ad.
  virtual void finishedLoadingAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) = 0;
  // A placement arrived while a custom-rendering ad waits for one.
  virtual void renderPendingCustomRenderingAd(ZUMSlot& slot) = 0;
};
