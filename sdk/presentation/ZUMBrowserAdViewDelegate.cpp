#include "sdk/presentation/ZUMBrowserAdViewDelegate.h"

#include <nlohmann/json.hpp>

#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/presentation/ZUMBrowserViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

namespace {

std::shared_ptr<ZUMStatisticDictionary> adStatistics(const std::shared_ptr<ZUMBrowserViewController>& controller) {
  auto slot = controller ? controller->slot() : nullptr;
  auto ad = slot ? slot->ad() : nullptr;
  return ad ? ad->statistics() : nullptr;
}

}  // namespace

std::shared_ptr<ZUMBrowserAdViewDelegate> ZUMBrowserAdViewDelegate::create() {
  std::shared_ptr<ZUMBrowserAdViewDelegate> delegate(new ZUMBrowserAdViewDelegate());
  delegate->registerHandlers();
  return delegate;
}

std::shared_ptr<ZUMBrowserViewController> ZUMBrowserAdViewDelegate::browserControllerForAdView(
    const ZUMAdView& adView) {
  return std::dynamic_pointer_cast<ZUMBrowserViewController>(adView.viewController());
}

std::optional<bool> ZUMBrowserAdViewDelegate::adViewShouldStartLoadWithRequest(
    ZUMAdView& adView, const platform::URLRequest& request, platform::WebViewNavigationType navigationType) {
  const bool userNavigation = navigationType == platform::WebViewNavigationType::LinkClicked ||
                              navigationType == platform::WebViewNavigationType::FormSubmitted;
  auto statistics = userNavigation ? adStatistics(browserControllerForAdView(adView)) : nullptr;
  if (statistics && request.url()) {
    const auto scheme = ZUMLowercasedScheme(*request.url());
    if (scheme == "http") statistics->incrementNumberForKey("plpnc", true);
    if (scheme == "https") statistics->incrementNumberForKey("plpsnc", true);
  }
  return ZUMAdViewDelegate::adViewShouldStartLoadWithRequest(adView, request, navigationType);
}

void ZUMBrowserAdViewDelegate::adViewDidStartLoad(ZUMAdView& adView) {
  auto controller = browserControllerForAdView(adView);
  if (auto statistics = adStatistics(controller); statistics && !statistics->objectForKey("tlanding_page_load_start")) {
    statistics->setObject(ZUMMonotonicTimeInMilliseconds(), "tlanding_page_load_start", true);
  }
  ZUMAdViewDelegate::adViewDidStartLoad(adView);
  if (controller) controller->refreshToolbar();
}

void ZUMBrowserAdViewDelegate::adViewDidFinishLoad(ZUMAdView& adView) {
  auto controller = browserControllerForAdView(adView);
  if (auto statistics = adStatistics(controller)) {
    statistics->setObject(ZUMMonotonicTimeInMilliseconds(), "tlanding_page_load_end", true);
  }
  ZUMAdViewDelegate::adViewDidFinishLoad(adView);
  if (controller) controller->refreshToolbar();
}

void ZUMBrowserAdViewDelegate::adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) {
  ZUMAdViewDelegate::adViewDidFailLoadWithError(adView, error);
  if (auto controller = browserControllerForAdView(adView)) controller->refreshToolbar();
}
