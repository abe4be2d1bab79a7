#include "sdk/mediation/ZUMMediatedBannerAd.h"

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "platform/ui/View.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMediatedBannerFormats.h"
#include "sdk/rendering/ZUMSlotResponseProcessor.h"
#include "sdk/request/ZUMSlot.h"

platform::Size ZUMMediatedBannerAd::slotSize() const {
  const auto& slotSizes = connector_->networkConfig()->slotSizes();
  platform::Size size = slotSizes && !slotSizes->empty()
                            ? ZUMAdSizeFromString(std::optional<std::string_view>(slotSizes->front()))
                            : ZUMAdSizeFromString(connector_->mediationConfig()->defaultSlotSize());
  if (size.width == 0 && size.height == 0 && view_) size = view_->frame().size;
  return size;
}

std::shared_ptr<ZUMLoadable> ZUMMediatedBannerAd::loadableAdForAdLoader(ZUMAdLoader& loader) {
  platform::assertMainThread();
  auto formats = ZUMMediatedBannerFormats::shared();
  if (!formats || !connector_ || !view_) return nullptr;
  // Taken: a second banner finds the queue empty, so each event is heard once.
  const auto appEvents = connector_->takeQueuedAppEvents();
  auto banner = formats->publisherBannerForAdLoader(loader, ZUMAdSizeFromSize(slotSize()), appEvents);
  if (!banner.ad || !banner.slot) return nullptr;
  banner.slot->setMediationConnector(connector_);
  ZUMSlotResponseProcessor::setViewForAdUsingView(*banner.slot, view_);
  banner.slot->didReceiveValidAd();
  banner.slot->adFinishedLoadingContent();
  return banner.ad;
}
