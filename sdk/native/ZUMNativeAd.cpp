#include "ZUMNativeAd.h"

#include <cmath>
#include <limits>
#include <utility>

#include "ZUMNativeAdDelegate.h"
#include "ZUMNativeAdViewAdOptions.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/native/ZUMMediatedNativeAdImpl.h"
#include "sdk/native/ZUMNativeAdClass.h"
#include "sdk/native/ZUMNativeAdEventRouter.h"
#include "sdk/native/ZUMNativeMediation.h"
#include "sdk/network/ZUMPinger.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kNotEnabledMessage =
    "This feature has not been enabled for your account and is a no-op. If you are interested in using this "
    "feature, reach out to your account manager.";
constexpr const char* kServerAdapterClassName = "ZUMMAdapterVantorMorvaneAds";
constexpr const char* kSupportPagePath = "https://ads.adnetwork.example/static/sdk/native/native_ads.html";

void logPublic(const std::string& message) { ZUMLogger::sharedInstance()->logPublicMessage(message); }

std::set<std::string> stringSet(const Json& dictionary, std::string_view key) {
  auto items = ZUMJSONStringItemsForKey(dictionary, key).value_or(std::vector<std::string>{});
  return {items.begin(), items.end()};
}

// A finite number rounded to the nearest 32-bit integer, clamped to the type's range.
std::optional<std::int32_t> roundedInt32(const Json& dictionary, std::string_view key) {
  auto value = ZUMJSONDoubleForKey(dictionary, key);
  if (!value) return std::nullopt;
  const double rounded = std::round(*value);
  constexpr double lowest = std::numeric_limits<std::int32_t>::min();
  constexpr double highest = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(rounded < lowest ? lowest : rounded > highest ? highest : rounded);
}

}  // namespace

bool ZUMNativeAssetNameIsMediaView(const std::string& assetName) { return assetName == "2011" || assetName == "1009"; }

bool ZUMNativeAssetNameIsAdChoicesView(const std::string& assetName) {
  return assetName == "2012" || assetName == "1010";
}

ZUMNativeAd::ZUMNativeAd(const Json& dictionary, const ZUMAdConfiguration::Options& options)
    : adNetworkClassName_(kServerAdapterClassName) {
  adConfiguration_ = dictionary.is_object() ? dictionary : Json::object();
  for (const auto& option : options) {
    if (auto view = std::dynamic_pointer_cast<ZUMNativeAdViewAdOptions>(option)) {
      attributionCorner_ = view->preferredAdChoicesPosition();
      break;
    }
  }
  readTrackingData(*adConfiguration_);
  debugSignalInformation_ = ZUMJSONStringForKey(*adConfiguration_, "debug_signals");
  if (const Json* attribution = ZUMJSONObjectForKey(*adConfiguration_, "attribution")) {
    publisherRenderAdChoicesAllowed_ = ZUMJSONBoolForKey(*attribution, "allow_pub_rendering", false);
  }
  if (const Json* reporting = ZUMJSONObjectForKey(*adConfiguration_, "allow_pub_event_reporting")) {
    publisherClickReportingAllowed_ = ZUMJSONBoolForKey(*reporting, "click_reporting", false);
    publisherTouchReportingAllowed_ = ZUMJSONBoolForKey(*reporting, "touch_reporting", false);
    publisherImpressionReportingAllowed_ = ZUMJSONBoolForKey(*reporting, "impression_reporting", false);
  }
}

ZUMNativeAd::~ZUMNativeAd() {
  keepStatistics();
  platform::NotificationCenter::defaultCenter().removeObserver(this);
}

void ZUMNativeAd::readTrackingData(const Json& dictionary) {
  const Json* tracking = ZUMJSONObjectForKey(dictionary, "tracking_urls_and_actions");
  if (!tracking) return;
  impressionTrackingURLs_ = stringSet(*tracking, "impression_tracking_urls");
  thirdPartyClickTrackingURLs_ = stringSet(*tracking, "third_party_click_tracking_urls");
  vantorClickTrackingURLString_ = ZUMJSONStringForKey(*tracking, "vantor_click_tracking_url");
  if (const Json* actions = ZUMJSONArrayForKey(*tracking, "click_actions")) clickActions_ = *actions;
  if (const Json* activeView = ZUMJSONObjectForKey(*tracking, "active_view")) activeViewConfigurations_ = *activeView;
}

std::optional<Json> ZUMNativeAd::adsArrayInAdsConfigurationDictionary(const Json& configuration) {
  const Json* ads = ZUMJSONArrayForKey(configuration, "ads");
  return ads ? std::optional<Json>(*ads) : std::nullopt;
}

std::string ZUMNativeAd::supportHTMLURL() {
  if (auto text = ZUMUserDefaults::stringForKey("/vantor/ads/native_ad_support_url")) {
    // Only a web page may host the script that sees every response.
    auto url = platform::URL::fromString(*text);
    if (url && (ZUMLowercasedScheme(*url) == "https" || ZUMLowercasedScheme(*url) == "http")) {
      return url->absoluteString();
    }
  }
  return kSupportPagePath;
}

void ZUMNativeAd::setSlot(const std::shared_ptr<ZUMSlot>& slot) {
  platform::assertMainThread();
  if (slot == slot_) return;
  slot_ = slot;
  if (router_) router_->removeAd(*this);
  router_ = slot ? ZUMNativeAdEventRouter::forSlot(*slot) : nullptr;
  if (!slot) return;
  router_->addAd(shared_from_this());
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView()))
    adView->setViewController(rootViewController());
}

bool ZUMNativeAd::isAddressedByPage(const platform::Notification& message) const {
  return router_ && router_->addresses(*this, message);
}

void ZUMNativeAd::setRootViewController(const std::shared_ptr<platform::ViewController>& controller) {
  platform::assertMainThread();
  rootViewController_ = controller;
  if (!slot_) return;
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView())) adView->setViewController(controller);
}

// --- Clicks and impressions --------------------------------------------------------------

void ZUMNativeAd::callPage(const std::string& function, const Json& argument, ZUMNativePageCall call) {
  platform::ErrorPtr error;
  auto json = zum_JSONStringPretty(argument, false, &error);
  // Unencodable data is dropped silently, as the page could do nothing with it.
  if (!json || !slot_) return;
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView());
  if (!adView) return;
  if (router_) router_->pageWillAnswer(shared_from_this(), call);
  adView->executeJavaScriptAsynchronouslyFromString("vantor.qyra.nativeAds." + function + "(" +
                                                    ZUMScriptSafeJSON(*json) + ")");
}

void ZUMNativeAd::performClickOnView(const std::shared_ptr<platform::View>& view,
                                     const std::optional<std::string>& assetName, const Json& environment) {
  platform::assertMainThread();
  if (mediatedNativeAd_) {
    // The network records its clicks itself: it tells through its notifications.
    if (mediatedNativeAd_->adapterHandlesUserClicks()) return;
    mediatedNativeAd_->reportClickOnAssetWithName(assetName.value_or(""), view, rootViewController());
  }
  if (!assetName || !adConfiguration_) return;
  Json argument = environment.is_object() ? environment : Json::object();
  argument["ad"] = *adConfiguration_;
  argument["click"] =
      Json{{"template", adFormatTemplateID()}, {"asset", *assetName}, {"sdk_version", ZUMRequest::sdkVersion()}};
  callPage("handleClickTolm", argument, ZUMNativePageCall::Click);
}

void ZUMNativeAd::recordImpressionWithEnvironment(const Json& environment) {
  platform::assertMainThread();
  if (hasRecordedImpression_) return;
  hasRecordedImpression_ = true;
  if (mediatedNativeAd_ && mediatedNativeAd_->adapterHandlesUserImpressions()) return;
  pingDebugSignal();
  if (mediatedNativeAd_) mediatedNativeAd_->reportImpression();
  if (!adConfiguration_) return;
  Json argument = environment.is_object() ? environment : Json::object();
  argument["ad"] = *adConfiguration_;
  callPage("handleImpressionPing", argument, ZUMNativePageCall::Impression);
}

void ZUMNativeAd::pingDebugSignal() {
  auto urlString = ZUMUserDefaults::stringForKey("/vantor/ads/debug_signal_data_url");
  if (!urlString || !debugSignalInformation_ || !ZUMApplication::sharedInstance()->debugModeEnabled()) return;
  auto url = platform::URL::fromString(*urlString);
  if (!url) return;
  Json parameters = Json::object();
  if (auto device = ZUMUserDefaults::stringForKey("/vantor/ads/debug_device_identifier")) {
    parameters["linkedDeviceId"] = *device;
  }
  if (auto unit = slot_ ? slot_->adUnitID() : std::nullopt) parameters["adSlotPath"] = *unit;
  parameters["debugData"] = *debugSignalInformation_;
  if (auto ping = ZUMURLByAppendingQueryParameters(*url, parameters)) {
    ZUMPinger::sharedInstance()->pingURLString(ping->absoluteString(), nullptr, nullptr);
  }
}

void ZUMNativeAd::performClickWithData(const std::optional<Json>& data) {
  platform::assertMainThread();
  if (!publisherClickReportingAllowed_) return logPublic(kNotEnabledMessage);
  if (!data || data->is_null()) return logPublic("clickData cannot be nil.");
  std::optional<std::string> assetName;
  if (const Json* signal = ZUMJSONObjectForKey(*data, "click_signal"))
    assetName = ZUMJSONStringForKey(*signal, "asset_id");
  performClickOnView(nullptr, assetName, Json{{"provided_signals", *data}});
}

void ZUMNativeAd::reportTouchEventWithData(const std::optional<Json>& data) {
  platform::assertMainThread();
  if (!publisherTouchReportingAllowed_) return logPublic(kNotEnabledMessage);
  if (!data || data->is_null()) return logPublic("touchData cannot be nil.");
  auto x = roundedInt32(*data, "x");
  auto y = roundedInt32(*data, "y");
  auto duration = roundedInt32(*data, "duration_ms");
  if (x && y && duration) ZUMSignalsReportTouch(*x, *y, *duration);
}

bool ZUMNativeAd::recordImpressionWithData(const std::optional<Json>& data) {
  platform::assertMainThread();
  if (!publisherImpressionReportingAllowed_) {
    logPublic(kNotEnabledMessage);
    return false;
  }
  if (!data || data->is_null()) {
    logPublic("impressionData cannot be nil.");
    return false;
  }
  recordImpressionWithEnvironment(Json{{"provided_signals", *data}});
  return hasRecordedImpression_;
}

// --- Slot events ------------------------------------------------------------------------

ZUMImplemented ZUMNativeAd::relay(DelegateCall call) {
  ZUMRunOnMainThread([weak = weak_from_this(), call] {
    auto self = weak.lock();
    auto delegate = self ? self->delegate() : nullptr;
    if (delegate) ((*delegate).*call)(*self);
  });
  return kZUMImplemented;
}

ZUMImplemented ZUMNativeAd::slotWillPresentScreen(ZUMSlot&) {
  return relay(&ZUMNativeAdDelegate::nativeAdWillPresentScreen);
}
ZUMImplemented ZUMNativeAd::slotWillDismissScreen(ZUMSlot&) {
  return relay(&ZUMNativeAdDelegate::nativeAdWillDismissScreen);
}
ZUMImplemented ZUMNativeAd::slotDidDismissScreen(ZUMSlot&) {
  return relay(&ZUMNativeAdDelegate::nativeAdDidDismissScreen);
}
ZUMImplemented ZUMNativeAd::slotWillLeaveApplication(ZUMSlot&) {
  return relay(&ZUMNativeAdDelegate::nativeAdWillLeaveApplication);
}
ZUMImplemented ZUMNativeAd::slotDidRecordImpression(ZUMSlot&) {
  return relay(&ZUMNativeAdDelegate::nativeAdDidRecordImpression);
}
ZUMImplemented ZUMNativeAd::slotDidRecordClick(ZUMSlot&) { return relay(&ZUMNativeAdDelegate::nativeAdDidRecordClick); }

std::shared_ptr<ZUMMAdNetworkConnectorImpl> ZUMNativeAdClass::mediationConnectorForConfiguration(
    const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) const {
  auto mediation = ZUMNativeMediation::shared();
  if (!mediation || !networkConfig || mediation->responseType(*networkConfig) != "native") return nullptr;
  return mediation->makeNativeAdConnector(config, networkConfig);
}
