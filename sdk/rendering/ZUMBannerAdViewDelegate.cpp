#include "sdk/rendering/ZUMBannerAdViewDelegate.h"

#include <array>

#include "ZUMSlotAdEventDelegate.h"
#include "platform/base/Error.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMSlotResponseProcessor.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"

namespace {

constexpr std::size_t kPlaceCount = static_cast<std::size_t>(ZUMBannerTOLMHandlerPlace::Count);

using BannerHandlerMakers = ZUMRegistrationPoint<std::array<ZUMBannerTOLMHandlerMaker, kPlaceCount>>;

// The URL loading system's code of a cancelled load.

}  // namespace

void ZUMRegisterBannerTOLMHandlerMaker(ZUMBannerTOLMHandlerPlace place, ZUMBannerTOLMHandlerMaker maker) {
  const auto index = static_cast<std::size_t>(place);
  if (index >= kPlaceCount) return;
  BannerHandlerMakers::fill([&](auto& makers) { makers[index] = std::move(maker); });
}

std::shared_ptr<ZUMBannerAdViewDelegate> ZUMBannerAdViewDelegate::create(const std::shared_ptr<ZUMSlot>& slot) {
  std::shared_ptr<ZUMBannerAdViewDelegate> delegate(new ZUMBannerAdViewDelegate(slot));
  delegate->setUpForSlot(slot);
  return delegate;
}

ZUMBannerAdViewDelegate::ZUMBannerAdViewDelegate(const std::shared_ptr<ZUMSlot>& slot) : slot_(slot) {}

void ZUMBannerAdViewDelegate::setUpForSlot(const std::shared_ptr<ZUMSlot>& slot) {
  registerHandlers();
  opener()->setSlot(slot);
  for (const auto& maker : BannerHandlerMakers::current()) {
    if (!maker) continue;
    if (auto handler = maker(*this)) addTOLMHandler(handler);
  }
}

std::optional<bool> ZUMBannerAdViewDelegate::adViewShouldStartLoadWithRequest(
    ZUMAdView& adView, const platform::URLRequest& request, platform::WebViewNavigationType navigationType) {
  auto slot = this->slot();
  if (slot && !(slot->adType() && slot->adType()->isInterstitial())) {
    opener()->setViewController(adView.viewController());
  }
  return ZUMAdViewDelegate::adViewShouldStartLoadWithRequest(adView, request, navigationType);
}

void ZUMBannerAdViewDelegate::adViewDidFinishLoad(ZUMAdView& adView) {
  loadFinished_ = true;
  if (loadDelayed_) return;  // the release of the delay replays it
  finishLoad(adView);
}

void ZUMBannerAdViewDelegate::finishLoad(ZUMAdView& adView) {
  ZUMAdViewDelegate::adViewDidFinishLoad(adView);
  auto slot = this->slot();
  if (!slot) return;
  // Every finished page is timed, whatever the slot's state.
  if (auto csi = slot->CSI()) csi->recordTimestampForLabel("native:view_load");
  if (slot->state() != ZUMSlot::State::kRendering) return;
  auto keepAlive = slot;  // the owner may drop its slot while told
  slot->didReceiveValidAd();
  slot->didLoadAdHTMLInWebView();
  adView.setHidden(false);
  slot->adFinishedLoadingContent();
}

void ZUMBannerAdViewDelegate::adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) {
  ZUMAdViewDelegate::adViewDidFailLoadWithError(adView, error);
  auto slot = this->slot();
  if (slot && platform::isWebContentProcessTerminatedError(error)) {
    pageDidEnd(*slot, error);
    return;
  }
  // A load that is over (shown, failed, cancelled or invalidated) is not failed again.
  if (!slot || !slot->isMakingRequest()) return;
  slot->didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorNetworkError), false);
}

void ZUMBannerAdViewDelegate::pageDidEnd(ZUMSlot& slot, const platform::ErrorPtr& error) {
  const bool loading = slot.isMakingRequest();
  // A failed, cancelled or invalidated ad has told its owner all it will.
  if (!loading && slot.state() != ZUMSlot::State::kValidAd) return;
  const std::string reason = error->localizedFailureReason().value_or("no reason given");
  // Shown: its impression counted (an interstitial presented, a banner seen).
  const char* when = loading                        ? "while it loaded"
                     : slot.viewHasMadeImpression() ? "after it was shown"
                                                    : "after it loaded, before it was shown";
  ZUMLog(kZUMLogLevelDefault, std::string("The ad's page ended ") + when + ": " + reason + ".");
  auto keepAlive = slot.shared_from_this();
  slot.didFailToReceiveAdWithError(
      ZUMMakeError(kZUMErrorInternalError, -1, "The ad's web page ended (" + reason + ").", error), !loading);
}

void ZUMBannerAdViewDelegate::adViewContentSizeDidChange(ZUMAdView&, platform::Size size) {
  if (auto slot = this->slot()) ZUMSlotResponseProcessor::updateContentSize(*slot, size);
}

void ZUMBannerAdViewDelegate::adViewDidLoadVideoWithSize(ZUMAdView&, platform::Size size) {
  auto slot = this->slot();
  if (!slot) return;
  if (auto delegate = slot->adEventDelegate()) delegate->slotDidLoadVideoWithSize(*slot, size);
}

void ZUMBannerAdViewDelegate::adViewDidRecordImpression(ZUMAdView&) {
  auto slot = this->slot();
  if (!slot) return;
  if (auto delegate = slot->adEventDelegate()) delegate->slotDidRecordImpression(*slot);
}

void ZUMBannerAdViewDelegate::adViewDidRecordClick(ZUMAdView&) {
  auto slot = this->slot();
  if (!slot) return;
  if (auto delegate = slot->adEventDelegate()) delegate->slotDidRecordClick(*slot);
}

std::shared_ptr<ZUMCSI> ZUMBannerAdViewDelegate::CSIForTOLMHandler(ZUMTOLMHandler&) {
  auto slot = this->slot();
  return slot ? slot->CSI() : nullptr;
}

void ZUMBannerAdViewDelegate::loadHandlerDidChangeDelay(ZUMTOLMHandler&, std::int64_t from, std::int64_t to) {
  if (from == 0 && to >= 1) {
    loadDelayed_ = true;
  } else if (from >= 1 && to == 0) {
    loadDelayed_ = false;
    auto slot = this->slot();
    auto adView = slot ? std::dynamic_pointer_cast<ZUMAdView>(slot->adView()) : nullptr;
    if (loadFinished_ && adView) finishLoad(*adView);
  }
}

void ZUMBannerAdViewDelegate::loadHandlerDidCancel(ZUMTOLMHandler&) {
  auto slot = this->slot();
  auto adView = slot ? std::dynamic_pointer_cast<ZUMAdView>(slot->adView()) : nullptr;
  if (!adView) return;
  adViewDidFailLoadWithError(*adView, platform::Error::create("NSURLErrorDomain", platform::kURLErrorCancelled));
}
