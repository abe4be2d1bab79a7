#include "sdk/formats/PXRCustomRendering.h"

#include <cstdio>
#include <utility>

#include "PXRCustomRenderedAd.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

namespace {

// `slot` while it holds `handedOff` in `state`, else nullptr.
std::shared_ptr<ZUMSlot> slotHolding(const std::shared_ptr<ZUMSlot>& slot, const std::shared_ptr<ZUMAd>& handedOff,
                                     ZUMSlot::State state) {
  return slot && handedOff && slot->ad() == handedOff && slot->state() == state ? slot : nullptr;
}

}  // namespace

void PXRCustomRendering::handOff(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad,
                                 std::shared_ptr<PXRCustomRenderedAdEventHandler> handler, const Deliver& deliver) {
  platform::assertMainThread();
  auto base = ad->adBaseURL() ? platform::URL::fromString("/", *ad->adBaseURL()) : std::nullopt;
  auto customAd = PXRCustomRenderedAd::create(ad->adHTML(), std::move(base), std::move(handler));
  ad_ = ad;
  slot.willStartAdRendering();
  deliver(customAd);
}

void PXRCustomRendering::finishedRendering(const std::shared_ptr<ZUMSlot>& slot) const {
  platform::assertMainThread();
  if (auto held = slotHolding(slot, ad_.lock(), ZUMSlot::State::kRendering)) held->didReceiveValidAd();
}

void PXRCustomRendering::recordImpression(const std::shared_ptr<ZUMSlot>& slot) const {
  platform::assertMainThread();
  if (auto held = slotHolding(slot, ad_.lock(), ZUMSlot::State::kValidAd)) {
    auto events = ZUMSlotEventHandler::forSlot(*held);
    events->didMakeAdImpression();
    events->pingManualTrackingURLs();
  }
}

void PXRCustomRendering::recordClick(const std::shared_ptr<ZUMSlot>& slot) const {
  platform::assertMainThread();
  if (auto held = slotHolding(slot, ad_.lock(), ZUMSlot::State::kValidAd)) {
    ZUMSlotEventHandler::forSlot(*held)->pingClickURLs();
  }
}

platform::ErrorPtr PXRCustomRendering::delegateDoesNotConformError(const std::string& protocolName,
                                                                   const std::string& ownerLabel,
                                                                   const std::string& owner, const void* delegate) {
  return ZUMMakeErrorWithDescription(
      kZUMErrorInvalidArgument, "Ignoring delegate callback. Delegate does not conform to " + protocolName + ".\n" +
                                    ownerLabel + ": " + owner +
                                    "\nDelegate: " + objectDescription(protocolName, delegate));
}

std::string PXRCustomRendering::objectDescription(const std::string& className, const void* object) {
  if (!object) return "(null)";
  char address[32];
  std::snprintf(address, sizeof address, "%p", object);
  return "<" + className + ": " + address + ">";
}
