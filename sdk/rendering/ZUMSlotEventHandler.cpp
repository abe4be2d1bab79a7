#include "sdk/rendering/ZUMSlotEventHandler.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdEventDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/ASCIIString.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/Application.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewPresentation.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotMediation.h"

namespace {

using Json = nlohmann::ordered_json;

// The ad network's click-serving domains when "/vantor/ads/as_domains" says nothing.
constexpr const char* kBuiltInClickDomains = "clicks.vantor-ads.example,ads.vantor.example,vantorclick.example";

// Whether `host` (lower-case) is served by the click domain `entry` (lower-case). An
// entry names a domain: the host is that domain or a subdomain of it, bounded by a dot,
// so "badexample.com" is not "example.com". An entry written with a leading dot
// (".example.com") is the dot-bounded suffix it spells: its subdomains only. An empty
// entry, or a dot alone, matches nothing.
bool isHostOfClickDomain(std::string_view host, std::string_view entry) {
  if (entry.starts_with('.')) return entry.size() > 1 && host.size() > entry.size() && host.ends_with(entry);
  if (entry.empty()) return false;
  if (host == entry) return true;
  return host.size() > entry.size() && host.ends_with(entry) && host[host.size() - entry.size() - 1] == '.';
}

std::shared_ptr<ZUMAdView> adViewOf(const ZUMSlot& slot) { return std::dynamic_pointer_cast<ZUMAdView>(slot.adView()); }

Json positionDictionary(const platform::Rect& rect) {
  const platform::Rect r = rect.standardized();
  return Json{{"width", r.size.width}, {"height", r.size.height}, {"x", r.origin.x}, {"y", r.origin.y}};
}

platform::Rect shifted(const platform::Rect& rect, const platform::Point& origin) {
  return {rect.origin.x - origin.x, rect.origin.y - origin.y, rect.size.width, rect.size.height};
}

}  // namespace

std::shared_ptr<ZUMSlotEventHandler> ZUMSlotEventHandler::forSlot(ZUMSlot& slot) {
  platform::assertMainThread();
  if (auto existing = std::dynamic_pointer_cast<ZUMSlotEventHandler>(slot.MRAIDEventHandler())) return existing;
  std::shared_ptr<ZUMSlotEventHandler> handler(new ZUMSlotEventHandler(slot.shared_from_this()));
  handler->observeApplicationVolume();
  slot.setMRAIDEventHandler(handler);
  return handler;
}

ZUMSlotEventHandler::ZUMSlotEventHandler(const std::shared_ptr<ZUMSlot>& slot) : slot_(slot) {}

ZUMSlotEventHandler::~ZUMSlotEventHandler() {
  auto& center = platform::NotificationCenter::defaultCenter();
  for (const auto* token : {&volumeObserver_, &statusBarObserver_, &creativeOrientationObserver_}) {
    if (*token) center.removeObserver(**token);
  }
}

void ZUMSlotEventHandler::observeApplicationVolume() {
  std::weak_ptr<ZUMSlotEventHandler> weak = weak_from_this();
  volumeObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMMobileAdsApplicationVolumeDidChangeNotification, nullptr, nullptr,
      ZUMBindWeak(weak, &ZUMSlotEventHandler::postVolumeNotification));
}

// --- Event forwarding -----------------------------------------------------------------------

void ZUMSlotEventHandler::adWasClicked() {
  platform::assertMainThread();
  ZUMApplication::sharedInstance()->incrementTotalAdClickCount();
  auto slot = slot_.lock();
  auto ad = slot ? slot->ad() : nullptr;
  if (!ad) return;
  ad->statistics()->setObject(static_cast<std::int64_t>(ZUMMonotonicTimeInMilliseconds()), "tclickcurr", false);
  ad->statistics()->incrementNumberForKey("pcc", true);
}

void ZUMSlotEventHandler::adWillLeaveApplication() {
  platform::assertMainThread();
  auto slot = slot_.lock();
  if (auto delegate = slot ? slot->adEventDelegate() : nullptr) delegate->slotWillLeaveApplication(*slot);
}

void ZUMSlotEventHandler::adDidLoadVideoWithSize(platform::Size size) {
  platform::assertMainThread();
  auto slot = slot_.lock();
  if (auto delegate = slot ? slot->adEventDelegate() : nullptr) delegate->slotDidLoadVideoWithSize(*slot, size);
}

void ZUMSlotEventHandler::willLeaveAppDueToClick() {
  platform::assertMainThread();
  auto slot = slot_.lock();
  auto ad = slot ? slot->ad() : nullptr;
  if (ad) ad->statistics()->setObject(true, "pclb", true);
  ZUMApplication::sharedInstance()->willLeaveApplicationDueToClickOnAd(ad);
}

// --- Impressions and pings ------------------------------------------------------------------

void ZUMSlotEventHandler::didMakeAdImpression() {
  platform::assertMainThread();
  auto slot = slot_.lock();
  // One impression per shown ad, whichever caller reports it first.
  if (!slot || slot->viewHasMadeImpression()) return;
  ZUMApplication::sharedInstance()->statistics()->incrementNumberForKey("pimp", false);
  pingImpressionURLs();
  slot->setViewHasMadeImpression(true);
  ZUMSlotActiveView::forSlot(*slot)->startActiveViewReportingIfEnabled();
}

void ZUMSlotEventHandler::pingClickURLs() {
  auto slot = slot_.lock();
  if (!slot) return;
  if (auto ad = slot->ad()) ad->pingClickURLs();
  if (auto delegate = slot->slotDelegate()) delegate->slotDidReceiveAdClick(*slot);
}

void ZUMSlotEventHandler::pingImpressionURLs() {
  auto slot = slot_.lock();
  if (auto ad = slot ? slot->ad() : nullptr) ad->pingImpressionURLs();
}

void ZUMSlotEventHandler::pingManualTrackingURLs() {
  auto slot = slot_.lock();
  auto ad = slot ? slot->ad() : nullptr;
  if (!ad) return;
  ad->pingManualImpressionURLs();
  // A mediated ad's network records its own impression.
  auto mediation = ZUMSlotMediation::shared();
  if (mediation && ad->responseType() == kZUMMediationResponseType) mediation->reportManualImpression(*slot);
}

// --- Click URL ------------------------------------------------------------------------------

platform::URL ZUMSlotEventHandler::gestureClickURLWithURL(const platform::URL& url) {
  if (ZUMNotification::isNotificationURL(url) || url.absoluteString() == "about:blank") return url;
  auto slot = slot_.lock();
  auto ad = slot ? slot->ad() : nullptr;
  if (auto inner = ZUMURLInnerPathString(url); inner && ad) ad->statistics()->setObject(*inner, "pit", false);
  if (!isVantorAdURL(url)) return url;
  const auto adIdentifier = ZUMQueryValueForKey(url, "ai");
  if (!adIdentifier || adIdentifier->empty()) return url;
  std::string signal;
  if (!ZUMSignalsClickSignal(*adIdentifier, signal) || signal.empty()) return url;
  // The signal's own "name=value" goes in as one query item.
  const auto equals = signal.find('=');
  Json item = Json::object();
  if (equals == std::string::npos) {
    item[signal] = "";
  } else {
    item[signal.substr(0, equals)] = signal.substr(equals + 1);
  }
  return ZUMURLByAppendingQueryParameters(url, item).value_or(url);
}

bool ZUMSlotEventHandler::isVantorAdURL(const platform::URL& url) {
  const auto host = url.host();
  if (!host || host->empty()) return false;
  const std::string lowerHost = platform::asciiLowercased(*host);
  auto list = ZUMUserDefaults::stringForKey("/vantor/ads/as_domains");
  const std::string domains = list && !list->empty() ? *list : kBuiltInClickDomains;
  std::string_view rest = domains;
  while (true) {
    const auto comma = rest.find(',');
    if (isHostOfClickDomain(lowerHost, platform::asciiLowercased(rest.substr(0, comma)))) return true;
    if (comma == std::string_view::npos) return false;
    rest.remove_prefix(comma + 1);
  }
}

// --- MRAID ----------------------------------------------------------------------------------

bool ZUMSlotEventHandler::isMRAIDEnabled() const {
  auto slot = slot_.lock();
  if (!slot) return false;
  auto loading = slot->loadingAd();
  auto shown = slot->ad();
  return (loading && loading->MRAIDEventHandler()) || (shown && shown->MRAIDEventHandler());
}

void ZUMSlotEventHandler::MRAIDAdDidLoad() {
  platform::assertMainThread();
  auto slot = slot_.lock();
  if (!slot) return;
  auto self = shared_from_this();
  if (auto ad = slot->ad()) ad->setMRAIDEventHandler(self);
  if (auto ad = slot->loadingAd()) ad->setMRAIDEventHandler(self);
  // One registration however many loads come without an unload.
  if (!creativeOrientationObserver_) {
    std::weak_ptr<ZUMSlotEventHandler> weak = self;
    creativeOrientationObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        kZUMSlotCreativeOrientationChangedNotification, slot, nullptr,
        ZUMBindWeak(weak, &ZUMSlotEventHandler::notifyOrientationToMRAIDCreative));
  }
  slot->setUsableInterfaceFrame({});
  slot->setCreativeWebViewFrame({});
  slot->setCreativeAdFrame({});
  // Beginning to listen posts the orientation once; a creative loaded while listening
  // is told directly. Either way the page hears of its screen once.
  if (listening_) {
    notifyOrientationToMRAIDCreative();
  } else {
    beginListeningToDeviceOrientationChangeEvent();
  }
  notifyDeviceFeatures();
  SDKDidBecomeReady();
  if (auto delegate = slot->slotDelegate()) delegate->slotDidLoadMRAIDAd(*slot);
  ZUMSlotActiveView::forSlot(*slot)->startActiveViewReportingIfEnabled();
}

void ZUMSlotEventHandler::MRAIDAdDidUnload() { endListeningToDeviceOrientationChangeEvent(); }

void ZUMSlotEventHandler::notifyOrientationToMRAIDCreative() {
  platform::assertMainThread();
  auto slot = slot_.lock();
  if (!slot || !isMRAIDEnabled()) return;
  auto device = ZUMDevice::sharedInstance();
  const platform::Rect screen = device->standardizedOrientedScreenBounds();
  const platform::Rect application = device->standardizedOrientedApplicationFrame();
  slot->setUsableInterfaceFrame(application);
  Json payload{{"width", screen.size.width},
               {"height", screen.size.height},
               {"maxSizeWidth", application.size.width},
               {"maxSizeHeight", application.size.height},
               {"isOrientationLandscape", ZUMNumberWithBool(device->orientationLandscape())}};
  auto adView = adViewOf(*slot);
  if (!adView) return;
  if (auto forced = forcedAdOrientation(*adView)) payload["forcedOrientation"] = *forced;
  adView->postJSNotification("onScreenInfoChanged", payload);
}

std::optional<std::string> ZUMSlotEventHandler::forcedAdOrientation(const ZUMAdView& adView) {
  auto presentation = ZUMAdViewPresentation::shared();
  auto controller = adView.viewController();
  if (!presentation || !controller) return std::nullopt;
  switch (presentation->forcedAdOrientation(*controller)) {
    case platform::kInterfaceOrientationPortrait:
    case platform::kInterfaceOrientationPortraitUpsideDown:
      return "p";
    case platform::kInterfaceOrientationLandscapeRight:
    case platform::kInterfaceOrientationLandscapeLeft:
      return "l";
    default:
      return std::nullopt;
  }
}

void ZUMSlotEventHandler::notifyDeviceFeatures() {
  platform::assertMainThread();
  auto slot = slot_.lock();
  auto adView = slot ? adViewOf(*slot) : nullptr;
  if (!adView) return;
  auto device = ZUMDevice::sharedInstance();
  adView->postJSNotification("onDeviceFeaturesReceived", Json{{"sms", ZUMNumberWithBool(device->canText())},
                                                              {"tel", ZUMNumberWithBool(device->canMakePhoneCalls())},
                                                              {"calendar", ZUMNumberWithBool(false)},
                                                              {"storePicture", ZUMNumberWithBool(false)},
                                                              {"inlineVideo", ZUMNumberWithBool(true)}});
}

void ZUMSlotEventHandler::SDKDidBecomeReady() {
  platform::assertMainThread();
  auto slot = slot_.lock();
  if (auto adView = slot ? adViewOf(*slot) : nullptr) {
    adView->postJSNotification("onReadyEventReceived", Json{{"js", ZUMRequest::sdkVersion()}});
  }
}

void ZUMSlotEventHandler::updateVisibility(bool visible) {
  platform::assertMainThread();
  auto slot = slot_.lock();
  if (auto adView = slot ? adViewOf(*slot) : nullptr) {
    adView->dispatchSDKEvent("onAdVisibilityChanged", Json{{"visible", ZUMStringFromBOOL(visible)}});
  }
}

void ZUMSlotEventHandler::handleError(const std::string& message, const std::string& action) {
  platform::assertMainThread();
  auto slot = slot_.lock();
  if (auto adView = slot ? adViewOf(*slot) : nullptr) {
    adView->dispatchSDKEvent("onError", Json{{"message", message}, {"action", action}});
  }
}

void ZUMSlotEventHandler::updatePositionFromView(platform::View& view) {
  platform::assertMainThread();
  auto slot = slot_.lock();
  if (!slot) return;
  const platform::Rect application = ZUMDevice::sharedInstance()->standardizedOrientedApplicationFrame();
  if (application != slot->usableInterfaceFrame()) notifyOrientationToMRAIDCreative();
  auto adView = adViewOf(*slot);
  if (adView) {
    auto window = view.window();
    if (window && !window->isHidden()) {
      const platform::Rect inWindow = view.convertRectToView(view.bounds(), window.get());
      const platform::Rect frame = shifted(ZUMRectInInterfaceOrientation(inWindow), application.origin);
      if (frame != slot->creativeWebViewFrame()) {
        slot->setCreativeWebViewFrame(frame);
        adView->dispatchSDKEvent("onSizeChanged", positionDictionary(frame));
      }
    }
  }
  auto delegate = slot->slotDelegate();
  auto ownerFrame = delegate ? delegate->frameInInterface() : std::nullopt;
  if (adView && ownerFrame && *ownerFrame != platform::Rect{}) {
    const platform::Rect frame = shifted(*ownerFrame, application.origin);
    if (frame != slot->creativeAdFrame()) {
      slot->setCreativeAdFrame(frame);
      adView->dispatchSDKEvent("onDefaultPositionReceived", positionDictionary(frame));
    }
  }
}

// --- Audio, volume and orientation ----------------------------------------------------------

bool ZUMSlotEventHandler::shouldChangeAudioSessionCategoryTo(const std::string& category) {
  auto slot = slot_.lock();
  auto delegate = slot ? slot->slotDelegate() : nullptr;
  if (!delegate) return true;
  return delegate->slotShouldChangeAudioSessionCategoryTo(*slot, category).value_or(true);
}

Json ZUMSlotEventHandler::volumePayload() {
  auto device = ZUMDevice::sharedInstance();
  device->updateDynamicParameters();
  auto ads = ZUMMobileAds::sharedInstance();
  Json payload{{"app_volume", static_cast<double>(ads->clampedApplicationVolume())},
               {"app_muted", ZUMStringFromBOOL(ads->applicationMuted())},
               {"device_volume", static_cast<double>(device->audioVolume())},
               {"port_names", device->audioRoutePortNames().value_or(std::vector<std::string>{})},
               {"is_other_audio_playing", ZUMNumberWithBool(device->isOtherAudioPlaying())}};
  if (auto silence = device->shouldSilenceAudioValue()) payload["should_silence_audio"] = ZUMNumberWithBool(*silence);
  return payload;
}

void ZUMSlotEventHandler::postVolumeNotification() {
  platform::assertMainThread();
  ZUMRunOnMainThread([weak = weak_from_this()] {
    auto self = weak.lock();
    auto slot = self ? self->slot_.lock() : nullptr;
    auto adView = slot ? adViewOf(*slot) : nullptr;
    if (!adView) return;
    adView->postJSNotification("volume", volumePayload());
  });
}

void ZUMSlotEventHandler::beginListeningToDeviceOrientationChangeEvent() {
  if (listening_) return;
  didChangeDeviceOrientation();
  listening_ = true;
  std::weak_ptr<ZUMSlotEventHandler> weak = weak_from_this();
  statusBarObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationDidChangeStatusBarOrientationNotification, nullptr, nullptr,
      ZUMBindWeak(weak, &ZUMSlotEventHandler::didChangeDeviceOrientation));
}

void ZUMSlotEventHandler::endListeningToDeviceOrientationChangeEvent() {
  if (!listening_) return;
  listening_ = false;
  auto& center = platform::NotificationCenter::defaultCenter();
  if (auto token = std::exchange(statusBarObserver_, std::nullopt)) center.removeObserver(*token);
  if (auto token = std::exchange(creativeOrientationObserver_, std::nullopt)) center.removeObserver(*token);
}

void ZUMSlotEventHandler::didChangeDeviceOrientation() {
  platform::assertMainThread();
  if (auto slot = slot_.lock()) {
    platform::NotificationCenter::defaultCenter().post(kZUMSlotCreativeOrientationChangedNotification, slot);
  }
}
