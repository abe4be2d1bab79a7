#include "sdk/rendering/ZUMSlotResponseProcessor.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/WhiteSpace.h"
#include "platform/ui/ScrollView.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/network/ZUMSafeBrowsingReporter.h"
#include "sdk/rendering/ZUMAdNetworkJavaScriptAdViewDelegate.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotEvents.h"
#include "sdk/request/ZUMSlotMediation.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr ZUMAdSize kZeroAdSize{{0, 0}, 0};

bool isInterstitialSlot(const ZUMSlot& slot) { return slot.adType() && slot.adType()->isInterstitial(); }
// A slot of banner size: neither interstitial nor rewarded.
bool isBannerSlot(const ZUMSlot& slot) {
  return slot.adType() && !slot.adType()->isInterstitial() && !slot.adType()->isRewardBasedVideoAd();
}

// A size worth telling: both sides above zero (the zero and the invalid sizes are not).
bool hasArea(const ZUMAdSize& size) { return size.size.width > 0 && size.size.height > 0; }

// Nothing but the platform's white space and newlines, Unicode's included.
bool isBlank(const std::optional<std::string>& text) {
  return !text || platform::trimmingWhitespaceAndNewlines(*text).empty();
}

std::shared_ptr<ZUMAdView> adViewOf(const ZUMSlot& slot) { return std::dynamic_pointer_cast<ZUMAdView>(slot.adView()); }

void logEvent(ZUMSlot& slot, const std::string& name, const Json& info) {
  if (auto events = ZUMSlotEvents::shared()) events->logEvent(slot, name, info);
}

// The ad becomes the slot's shown ad.
void showAd(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& givenAd) {
  platform::assertMainThread();
  // A copy: the caller may pass the slot's own loading ad, cleared below.
  const std::shared_ptr<ZUMAd> ad = givenAd;
  if (!ad) return;
  // The measurement of the ad shown so far ends with it.
  ZUMSlotActiveView::forSlot(slot)->finishActiveViewReporting();
  slot.setAd(ad);
  slot.setLoadingAd(nullptr);
  slot.setViewHasMadeImpression(false);
  ad->pingDebugSignal();
}

}  // namespace

// --- Dispatch -------------------------------------------------------------------------------

void ZUMSlotResponseProcessor::processAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) {
  platform::assertMainThread();
  if (!ad) {
    slot.didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError), false);
    return;
  }
  ZUMSlotActiveView::forSlot(slot)->finishActiveViewReporting();
  auto recorder = slot.adLoadActionTimeRecorder();
  if (recorder) {
    recorder->endTimingVariableWithName("arf_ios");
    recorder->endTimingVariableWithName("nwl_ios");
    recorder->startTimingVariableWithName("awr_ios");
  }
  logEvent(slot, "ad_processing_started",
           Json{{"brv_query_id", ad->BRVQueryID().value_or("")},
                {"reload_interval", ad->reloadInterval()},
                {"response_type", ad->responseType()}});
  switch (ad->responseType()) {
    case kZUMStandardResponseType:
    case kZUMNativeResponseType:
      processStandardAdResponse(slot, ad);
      return;
    case kZUMMediationResponseType:
      if (recorder) recorder->setCustomizedParameterValue("1", "is_mediation");
      processMediationAdResponse(slot, ad);
      return;
    case kZUMCustomRenderingResponseType:
      processCustomRenderingAdResponse(slot, ad);
      return;
    default:
      // Nothing would ever end the load: fail it rather than leave the slot fetching.
      slot.didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInvalidResponse), false);
      return;
  }
}

void ZUMSlotResponseProcessor::processStandardAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) {
  auto keepAlive = slot.shared_from_this();
  if (auto responseDelegate = slot.adResponseDelegate()) {
    platform::ErrorPtr error;
    const bool process = responseDelegate->slotShouldProcessAdResponse(slot, ad, &error);
    if (error) {
      slot.didFailToReceiveAdWithError(error, false);
      return;
    }
    if (!process) {  // the response delegate took the ad over
      slot.didReceiveValidAd();
      ZUMApplication::sharedInstance()->requesterDidEndRequest(&slot);
      return;
    }
  }
  slot.setLoadingAd(ad);
  slot.setReloadInterval(ad->reloadInterval());
  slot.scheduleAdReloadTimer();
  if (ad->customAdSizeString()) {
    slot.setNewAdSize(isInterstitialSlot(slot) ? kZeroAdSize
                                               : ZUMAdSizeFromSize(ZUMAdSizeFromString(*ad->customAdSizeString())));
  }
  auto adView = adViewOf(slot);
  if (adView && adView->scrollView()) adView->scrollView()->setScrollEnabled(ad->scrollEnabled());
  if (isBlank(ad->adHTML())) {
    slot.didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorNoFill), false);
    return;
  }
  if (!adView) {
    slot.didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError), false);
    return;
  }
  // A script ad's delegate watches for its passback; a standard ad gets the plain one back.
  auto delegate = slot.adViewDelegate();
  if (!delegate || std::dynamic_pointer_cast<ZUMAdNetworkJavaScriptAdViewDelegate>(delegate)) {
    delegate = ZUMBannerAdViewDelegate::create(keepAlive);
    slot.setAdViewDelegate(delegate);
    adView->setDelegate(delegate);
  }
  adView->setAdDebugDialogString(ad->debugDialogString().value_or(""));
  delegate->opener()->setAutoClickProtection(
      ad->safeBrowsingReporter() ? ad->safeBrowsingReporter()->autoClickProtection() : nullptr);
  slot.willLoadAdHTMLInWebView();
  setViewForAdUsingView(slot, adView);
  adView->setAd(ad);
}

void ZUMSlotResponseProcessor::loadAdNetworkJavaScriptRequest(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) {
  auto keepAlive = slot.shared_from_this();
  auto adView = adViewOf(slot);
  if (!ad || !ad->adHTML() || ad->adHTML()->empty() || !adView) {
    slot.didFailToReceiveAdWithError(ZUMMakeErrorWithDescription(kZUMErrorNetworkError, "Empty ad HTML."), true);
    slot.scheduleAdReloadTimer();
    return;
  }
  auto delegate = ZUMAdNetworkJavaScriptAdViewDelegate::create(keepAlive, ad->adNetworkPassbackURL());
  slot.setAdViewDelegate(delegate);
  adView->setDelegate(delegate);
  adView->setAd(ad);
}

void ZUMSlotResponseProcessor::processMediationAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) {
  auto keepAlive = slot.shared_from_this();
  if (auto responseDelegate = slot.adResponseDelegate()) responseDelegate->slotWillProcessMediatedAdResponse(slot, ad);
  if (!ad->mediationDelegate()) {
    slot.didFailToReceiveAdWithError(ZUMMakeErrorWithDescription(kZUMErrorInvalidMediationResponse,
                                                                 "Current class not set up for processing mediation."),
                                     false);
    return;
  }
  slot.willProcessMediationResponse();
  platform::ErrorPtr error;
  auto configuration = zum_decodedJSONObjectError(ad->adHTML(), &error);
  if (!configuration || !configuration->is_object()) {
    // A body that is no JSON object holds no networks: the invalid mediation response
    // of the error model, not the decoder's own error.
    slot.didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInvalidMediationResponse), false);
    return;
  }
  const Json headers = ad->responseHeaders().value_or(Json::object());
  auto fill = [&](const char* key, const char* header) {
    if (configuration->contains(key) || !headers.is_object()) return;
    if (auto it = headers.find(header); it != headers.end()) (*configuration)[key] = *it;
  };
  fill("default_slot_sz", "x-qyra-ad-slot-size");
  fill("default_ad_sz", "x-qyra-ad-size");
  auto mediation = ZUMSlotMediation::shared();
  if (!mediation) {
    // Without the mediation area no network can be asked.
    slot.didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorNoMediationAdapter), false);
    return;
  }
  platform::ErrorPtr refused;
  auto config = mediation->makeConfiguration(slot.adUnitID().value_or(""), *configuration, &refused);
  if (!config) {
    slot.didFailToReceiveAdWithError(refused ? refused : ZUMMakeErrorWithCode(kZUMErrorInvalidMediationResponse),
                                     false);
    return;
  }
  showAd(slot, ad);
  if (ad->customAdSizeString()) slot.setNewAdSize(ZUMAdSizeFromSize(ZUMAdSizeFromString(*ad->customAdSizeString())));
  auto adType = slot.adType();
  if (isBannerSlot(slot) && hasArea(slot.newAdSize())) adType = ZUMAdType::bannerAdTypeForSize(slot.newAdSize());
  mediation->mediate(slot, adType, config);
  if (isBannerSlot(slot)) {
    slot.setReloadInterval(mediation->refreshInterval(*config));
    slot.scheduleAdReloadTimer();
  }
}

// --- Shown ad -------------------------------------------------------------------------------

void ZUMSlotResponseProcessor::finishedLoadingAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) {
  showAd(slot, ad);
}

// --- Custom rendering -----------------------------------------------------------------------

void ZUMSlotResponseProcessor::processCustomRenderingAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) {
  slot.setReloadable(false);
  slot.deactivateReloadTimer();
  slot.setPendingCustomRenderingAd(ad);
  if (slot.placement()) {
    if (auto processing = ZUMSlotResponseProcessing::shared()) processing->renderPendingCustomRenderingAd(slot);
  }
}

void ZUMSlotResponseProcessor::renderPendingCustomRenderingAd(ZUMSlot& slot) {
  platform::assertMainThread();
  auto ad = slot.pendingCustomRenderingAd();
  if (!ad) return;
  auto keepAlive = slot.shared_from_this();
  auto shown = slot.ad();
  finishedLoadingAdResponse(slot, ad);
  slot.setPendingCustomRenderingAd(nullptr);
  platform::ErrorPtr error;
  auto delegate = slot.slotDelegate();
  if (delegate && delegate->slotNotifyPublisherToRenderCustomRenderingAd(slot, ad, &error) == true) {
    ZUMApplication::sharedInstance()->requesterDidEndRequest(&slot);
    return;
  }
  slot.setAd(shown);
  // The failure path ends the hub's request once and leaves the slot failed, not fetching.
  slot.didFailToReceiveAdWithError(
      error ? error
            : ZUMMakeErrorWithDescription(kZUMErrorInvalidArgument,
                                          "Custom rendered ad could not be rendered by delegate."),
      false);
}

// --- Sizing ---------------------------------------------------------------------------------

void ZUMSlotResponseProcessor::setViewForAdUsingView(ZUMSlot& slot, const std::shared_ptr<platform::View>& view) {
  platform::assertMainThread();
  auto delegate = slot.slotDelegate();
  if (delegate) delegate->slotDidReceiveAdView(slot, view);
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(view);
  if (adView) adView->setAdResponseSize({0, 0});

  bool fluidAllowed = false;
  if (delegate) {
    if (auto sizes = delegate->validAdSizes()) {
      fluidAllowed = validateAdResponseWithAdSize(kZUMAdSizeFluid, *sizes);
    } else if (auto size = delegate->adSize()) {
      fluidAllowed = ZUMAdSizeIsFluid(*size);
    }
  }
  auto loading = slot.loadingAd();
  if (fluidAllowed && !(loading && loading->fluid()) && hasArea(slot.newAdSize()) && adView) {
    adView->setAdResponseSize(slot.newAdSize().size);
  }
  const ZUMAdSize multiSize = adSizeForMultiSizeAd(slot);
  if (delegate && !ZUMAdSizeEqualToSize(multiSize, kZUMAdSizeInvalid)) {
    delegate->slotWillResizeToAdSize(slot, multiSize);
    // Hidden only for an owner that resizes it: one that does not keeps the view as it was.
    const bool wasHidden = view && view->isHidden();
    if (view) view->setHidden(true);
    if (!delegate->setAdSize(multiSize, false) && view) view->setHidden(wasHidden);
  }
  if (delegate) delegate->layoutSubviewsIfNeeded();
  slot.setNewAdSize(kZeroAdSize);
}

ZUMAdSize ZUMSlotResponseProcessor::adSizeForMultiSizeAd(ZUMSlot& slot) {
  auto delegate = slot.slotDelegate();
  auto sizes = delegate ? delegate->validAdSizes() : std::nullopt;
  if (!sizes) return kZUMAdSizeInvalid;
  if (validateAdResponseWithAdSize(kZUMAdSizeFluid, *sizes)) {
    platform::Rect bounds = delegate->bounds().value_or(platform::Rect{}).standardized();
    return ZUMFluidAdSizeWithSize(bounds.size.width, bounds.size.height);
  }
  const ZUMAdSize newSize = slot.newAdSize();
  const ZUMAdSize made = ZUMAdSizeFromSize(newSize.size);
  const bool differsFromType =
      !slot.adType() || !ZUMAdSizeEqualToSize(made, ZUMAdSizeFromSize(ZUMCGSizeFromAdSize(slot.adType()->adSize())));
  if (hasArea(newSize) && differsFromType && validateAdResponseWithAdSize(made, *sizes)) return made;
  return kZUMAdSizeInvalid;
}

bool ZUMSlotResponseProcessor::validateAdResponseWithAdSize(const ZUMAdSize& size,
                                                            const std::vector<std::any>& validAdSizes) {
  for (const auto& value : validAdSizes) {
    if (!value.has_value()) continue;
    const ZUMAdSize candidate = ZUMAdSizeFromValue(value);
    if (ZUMAdSizeEqualToSize(candidate, kZUMAdSizeInvalid)) continue;
    if (candidate.flags == size.flags && candidate.size.width == size.size.width &&
        candidate.size.height == size.size.height) {
      return true;
    }
  }
  return false;
}

void ZUMSlotResponseProcessor::updateContentSize(ZUMSlot& slot, platform::Size size) {
  platform::assertMainThread();
  auto delegate = slot.slotDelegate();
  if (!delegate) return;
  auto ad = slot.ad() ? slot.ad() : slot.loadingAd();
  auto adView = adViewOf(slot);
  const platform::Size responseSize = adView ? adView->adResponseSize() : platform::Size{0, 0};
  const bool responseZero = responseSize.width == 0 && responseSize.height == 0;
  if (responseZero && !(ad && ad->fluid())) return;
  platform::Size reported;
  reported.width = delegate->bounds() ? delegate->bounds()->size.width : size.width;
  reported.height = responseZero ? size.height : responseSize.height;
  delegate->slotContentSizeDidChange(slot, reported);
}

// --- Mediation glue -------------------------------------------------------------------------

bool ZUMSlotResponseProcessor::isBeingMediated(const ZUMSlot& slot) {
  auto request = slot.nextRequest();
  if (!request) return false;
  auto extras = request->adNetworkExtrasFor<ZUMExtras>();
  if (!extras) return false;
  auto parameters = extras->additionalParameters();
  return parameters && parameters->is_object() && parameters->contains("pw");
}

bool ZUMSlotResponseProcessor::isMediating(const ZUMSlot& slot) {
  return slot.ad() && slot.ad()->responseType() == kZUMMediationResponseType;
}

std::shared_ptr<platform::ViewController> ZUMSlotResponseProcessor::viewControllerForPresentingModalView(
    ZUMSlot& slot) {
  auto delegate = slot.slotDelegate();
  if (!delegate) return nullptr;
  return delegate->rootViewController().value_or(nullptr);
}
