#include "sdk/presentation/ZUMAdAppAdViewDelegate.h"

#include <array>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/presentation/ZUMAdAppViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"

namespace {

constexpr std::size_t kPlaceCount = static_cast<std::size_t>(ZUMAdAppTOLMHandlerPlace::Count);

using AdAppHandlerMakers = ZUMRegistrationPoint<std::array<ZUMAdAppTOLMHandlerMaker, kPlaceCount>>;

bool showsInterstitial(const std::shared_ptr<ZUMAdAppViewController>& controller) {
  auto slot = controller ? controller->slot() : nullptr;
  return slot && slot->adType() && slot->adType()->isInterstitial();
}

std::shared_ptr<ZUMStatisticDictionary> adStatistics(const std::shared_ptr<ZUMAdAppViewController>& controller) {
  auto slot = controller ? controller->slot() : nullptr;
  auto ad = slot ? slot->ad() : nullptr;
  return ad ? ad->statistics() : nullptr;
}

}  // namespace

void ZUMRegisterAdAppTOLMHandlerMaker(ZUMAdAppTOLMHandlerPlace place, ZUMAdAppTOLMHandlerMaker maker) {
  const auto index = static_cast<std::size_t>(place);
  if (index >= kPlaceCount) return;
  AdAppHandlerMakers::fill([&](auto& makers) { makers[index] = std::move(maker); });
}

std::shared_ptr<ZUMAdAppAdViewDelegate> ZUMAdAppAdViewDelegate::create(
    const std::shared_ptr<ZUMAdAppViewController>& controller) {
  std::shared_ptr<ZUMAdAppAdViewDelegate> delegate(new ZUMAdAppAdViewDelegate(controller));
  delegate->registerHandlers();
  delegate->appendAdAppHandlers();
  return delegate;
}

ZUMAdAppAdViewDelegate::ZUMAdAppAdViewDelegate(const std::shared_ptr<ZUMAdAppViewController>& controller)
    : controller_(controller) {}

void ZUMAdAppAdViewDelegate::appendAdAppHandlers() {
  const auto makers = AdAppHandlerMakers::current();
  const bool interstitial = showsInterstitial(adAppViewController());
  for (std::size_t index = 0; index < kPlaceCount; ++index) {
    const auto place = static_cast<ZUMAdAppTOLMHandlerPlace>(index);
    if (!makers[index] || (place == ZUMAdAppTOLMHandlerPlace::AppEvent && !interstitial)) continue;
    if (auto handler = makers[index](*this)) addTOLMHandler(handler);
  }
}

std::optional<bool> ZUMAdAppAdViewDelegate::adViewShouldStartLoadWithRequest(
    ZUMAdView& adView, const platform::URLRequest& request, platform::WebViewNavigationType navigationType) {
  platform::assertMainThread();
  const auto allowed = ZUMAdViewDelegate::adViewShouldStartLoadWithRequest(adView, request, navigationType);
  // A link click the base policy turns away went to the opener, which pings when it takes
  // the user somewhere (or nowhere, for a refused link): pinging here too would count one
  // click twice. Only a link that loads in the ad's own page is pinged here.
  const bool pingDisabled =
      ZUMUserDefaults::stringForKey("/vantor/ads/disable_interstitial_click_ping_on_click_navigation") == "1";
  if (allowed.value_or(true) && navigationType == platform::WebViewNavigationType::LinkClicked && !pingDisabled) {
    auto controller = adAppViewController();
    platform::DispatchQueue::main()->async([slot = std::weak_ptr<ZUMSlot>(controller ? controller->slot() : nullptr)] {
      if (auto strong = slot.lock()) ZUMSlotEventHandler::forSlot(*strong)->pingClickURLs();
    });
  }
  return allowed;
}

void ZUMAdAppAdViewDelegate::adViewDidStartLoad(ZUMAdView& adView) {
  if (auto statistics = adStatistics(adAppViewController());
      statistics && !statistics->objectForKey("tlanding_page_load_start")) {
    statistics->setObject(ZUMMonotonicTimeInMilliseconds(), "tlanding_page_load_start", true);
  }
  ZUMAdViewDelegate::adViewDidStartLoad(adView);
}

void ZUMAdAppAdViewDelegate::adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) {
  ZUMAdViewDelegate::adViewDidFailLoadWithError(adView, error);
  auto controller = adAppViewController();
  auto slot = controller ? controller->slot() : nullptr;
  if (!slot || slot->adView().get() != &adView) return;
  if (!platform::isWebContentProcessTerminatedError(error)) return;
  if (auto slotDelegate = slot->adViewDelegate()) slotDelegate->pageDidEnd(*slot, error);
}

void ZUMAdAppAdViewDelegate::adViewDidFinishLoad(ZUMAdView& adView) {
  if (auto statistics = adStatistics(adAppViewController())) {
    statistics->setObject(ZUMMonotonicTimeInMilliseconds(), "tlanding_page_load_end", true);
  }
  ZUMAdViewDelegate::adViewDidFinishLoad(adView);
}
