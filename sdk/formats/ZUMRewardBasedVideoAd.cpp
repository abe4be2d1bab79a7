#include "ZUMRewardBasedVideoAd.h"

#include <utility>

#include "ZUMAdReward.h"
#include "ZUMExtras.h"
#include "ZUMInterstitial.h"
#include "ZUMRequest.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/TestingReset.h"
#include "platform/base/Timer.h"
#include "platform/base/UserDefaults.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMRewardBasedVideoAdNetworkConnectorImpl.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/telemetry/ZUMAdUnitExposure.h"
#include "sdk/telemetry/ZUMAnalytics.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kEarlySetUpKey = "/vantor/ads/zums:rbv_cld_early_set_up";
constexpr const char* kAnalyticsEnabledKey = "/vantor/ads/zums:sai:enabled";
constexpr const char* kCapsKey = "/vantor/ads/zums:sdk_core_constants:caps";

}  // namespace

std::shared_ptr<ZUMRewardBasedVideoAd> ZUMRewardBasedVideoAd::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMRewardBasedVideoAd>([] {
    std::shared_ptr<ZUMRewardBasedVideoAd> ad(new ZUMRewardBasedVideoAd());
    ad->startObservingApplicationConfiguration();
    return ad;
  });
  return shared->get();
}

std::shared_ptr<ZUMRewardBasedVideoAd> ZUMRewardBasedVideoAd::create() {
  return std::shared_ptr<ZUMRewardBasedVideoAd>(new ZUMRewardBasedVideoAd());
}

ZUMRewardBasedVideoAd::ZUMRewardBasedVideoAd() : adStatistics_(ZUMSlotStatistics::create()) {}

ZUMRewardBasedVideoAd::~ZUMRewardBasedVideoAd() {
  ZUMApplication::sharedInstance()->requesterDidEndRequest(this);
  stopObservingApplicationConfiguration();
  if (timeoutTimer_) timeoutTimer_->invalidate();
  for (const auto& [name, connector] : connectors_) connector->askAdapterToStopBeingDelegate();
}

std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnectorImpl> ZUMRewardBasedVideoAd::connectorForAdapterClass(
    const std::string& name) const {
  const auto found = connectors_.find(name);
  return found == connectors_.end() ? nullptr : found->second;
}

void ZUMRewardBasedVideoAd::tellDelegate(DelegateCall call) {
  ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &ZUMRewardBasedVideoAd::callDelegate, std::move(call)));
}

void ZUMRewardBasedVideoAd::callDelegate(const DelegateCall& call) {
  if (auto delegate = this->delegate()) call(*delegate, *this);
}

void ZUMRewardBasedVideoAd::tellClick() {
  if (auto clicks = std::dynamic_pointer_cast<ZUMRewardBasedVideoAdClickDelegate>(delegate())) {
    clicks->rewardBasedVideoAdDidReceiveAdClick(*this);
  }
}

// --- Loading -----------------------------------------------------------------------------------

void ZUMRewardBasedVideoAd::loadRequest(const std::shared_ptr<ZUMRequest>& request, const std::string& adUnitID) {
  platform::assertMainThread();
  ZUMApplication::sharedInstance()->runAdditionalEarlyActivities();
  if (requestInProgress_) {
    ZUMLogger::sharedInstance()->logPublicMessage("Ignoring request. Another request is already in progress.");
    return;
  }
  stopObservingApplicationConfiguration();
  ad_ = nullptr;
  requestInProgress_ = true;
  ZUMApplication::sharedInstance()->requesterWillBeginRequest(this);
  ready_ = false;
  request_ = request ? request->copy() : ZUMRequest::create();
  adUnitID_ = adUnitID;

  auto extras = request_->adNetworkExtrasFor<ZUMExtras>();
  const auto parameters = request_->networkExtrasAdditionalParameters();
  std::shared_ptr<ZUMAd> direct;
  if (const Json* dictionary = parameters ? ZUMJSONObjectForKey(*parameters, "_ad") : nullptr) {
    direct = ZUMAd::createWithDictionary(*dictionary);
  }
  if (direct && direct->adHTML()) {
    std::optional<Json> headers;
    if (const Json* given = ZUMJSONObjectForKey(*parameters, "_adHeaders")) headers = *given;
    return loadAd(direct, headers);
  }
  if (direct && direct->adURL()) return loadAdURLWithParameters(Json{{"url", direct->adURL()->absoluteString()}});
  auto controller = ZUMSDKCoreController::sharedInstance();
  if (!controller) return failedToLoadAdWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError));
  controller->buildAdURL(shared_from_this());
}

Json ZUMRewardBasedVideoAd::requestParameters() {
  platform::assertMainThread();
  Json parameters = request_ ? request_->parameters() : Json::object();
  if (!parameters.is_object()) parameters = Json::object();
  if (!adUnitID_.empty()) parameters["slotname"] = adUnitID_;
  parameters["rbv"] = "1";
  {
    std::lock_guard lock(requestIDMutex_);
    if (requestID_) parameters["request_id"] = *requestID_;
  }
  parameters["format"] = "reward_mb";
  parameters["sai"] = ZUMStringFromBOOL(ZUMUserDefaults::boolForKey(kAnalyticsEnabledKey).value_or(false));
  if (auto analytics = ZUMAnalytics::sharedInstance()) {
    ZUMAddAnalyticsIdentifiers(parameters);
    if (auto adEventID = ZUMJSONStringForKey(parameters, "lvn_aeid")) analytics->logEventWithName("_aq", adEventID);
  }
  if (auto caps = platform::UserDefaults::standard().objectForKey(kCapsKey))
    parameters["extra_caps"] = std::move(*caps);
  return parameters;
}

void ZUMRewardBasedVideoAd::setRequestID(const std::string& requestID) {
  std::lock_guard lock(requestIDMutex_);
  requestID_ = requestID;
}

void ZUMRewardBasedVideoAd::loadAdURLWithParameters(const Json& parameters) {
  platform::assertMainThread();
  if (!requestInProgress_) return;
  if (ZUMJSONValueForKey(parameters, "errors"))
    return failedToLoadAdWithError(ZUMMakeErrorWithCode(kZUMErrorInvalidRequest));
  auto ad = ZUMAd::create();
  if (auto url = ZUMJSONStringForKey(parameters, "url")) ad->setAdURL(platform::URL::fromString(*url));
  fetchAd(ad, std::nullopt);
}

void ZUMRewardBasedVideoAd::loadAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<Json>& headers) {
  platform::assertMainThread();
  if (!requestInProgress_) return;
  fetchAd(ad ? ad : ZUMAd::create(), headers);
}

void ZUMRewardBasedVideoAd::fetchAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<Json>& headers) {
  adFetcher_ = ZUMAdFetcher::create();
  platform::ErrorPtr error;
  if (!adFetcher_) return failedToLoadAdWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError));
  auto fetcher = adFetcher_;
  if (!fetcher->fetchRemainingContentForAd(ad, headers, shared_from_this(), &error)) {
    // A connection that refused has told the delegate already.
    if (adFetcher_ == fetcher) {
      adFetcher_ = nullptr;
      failedToLoadAdWithError(error ? error : ZUMMakeErrorWithCode(kZUMErrorNetworkError));
    }
  }
}

void ZUMRewardBasedVideoAd::invalidJavaScriptRequest() {
  if (requestInProgress_) {
    failedToLoadAdWithError(ZUMMakeErrorWithDescription(kZUMErrorInvalidRequest, "Request object configured wrong."));
  }
}

void ZUMRewardBasedVideoAd::failedJavaScriptFile() {
  if (requestInProgress_)
    failedToLoadAdWithError(ZUMMakeErrorWithDescription(kZUMErrorNetworkError, "No network connection."));
}

void ZUMRewardBasedVideoAd::SDKCoreRequestDidFailWithError(const platform::ErrorPtr& error) {
  if (requestInProgress_) failedToLoadAdWithError(error);
}

void ZUMRewardBasedVideoAd::adFetcherDidFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad) {
  if (&fetcher != adFetcher_.get()) return;
  ad_ = ad;
  adFetcher_ = nullptr;
  loadAd(ad);
}

void ZUMRewardBasedVideoAd::adFetcherDidFailToFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>&,
                                                      const platform::ErrorPtr& error, std::int64_t) {
  if (&fetcher != adFetcher_.get()) return;
  adFetcher_ = nullptr;
  failedToLoadAdWithError(error);
}

void ZUMRewardBasedVideoAd::loadAd(const std::shared_ptr<ZUMAd>& ad) {
  switch (ad->responseType()) {
    case kZUMStandardResponseType:
      return loadInterstitialWithAd(ad);
    case kZUMMediationResponseType:
      return processMediationAd(ad);
    default:
      return failedToLoadAdWithError(ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Invalid ad response."));
  }
}

void ZUMRewardBasedVideoAd::loadInterstitialWithAd(const std::shared_ptr<ZUMAd>& ad) {
  if (!ad->adHTML() || !ad->adBaseURL()) {
    return failedToLoadAdWithError(
        ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Invalid ad response received."));
  }
  auto extras = ZUMExtras::create();
  extras->setAd(ad);
  extras->setAdditionalParameters(Json{{"_adHeaders", ad->responseHeaders().value_or(Json::object())}});
  auto request = ZUMRequest::create();
  request->registerAdNetworkExtras(extras);
  if (interstitial_) interstitial_->setDelegate(nullptr);
  interstitial_ = ZUMInterstitial::create(adUnitID_);
  interstitial_->setMediated();
  interstitial_->setDelegate(shared_from_this());
  interstitial_->loadRequest(request);
}

void ZUMRewardBasedVideoAd::adLoadedSuccessfully() {
  if (!requestInProgress_) return;
  requestInProgress_ = false;
  ready_ = true;
  ZUMApplication::sharedInstance()->requesterDidEndRequest(this);
  tellDelegate(
      [](ZUMRewardBasedVideoAdDelegate& d, ZUMRewardBasedVideoAd& self) { d.rewardBasedVideoAdDidReceiveAd(self); });
}

void ZUMRewardBasedVideoAd::failedToLoadAdWithError(const platform::ErrorPtr& error) {
  if (!requestInProgress_) return;
  requestInProgress_ = false;
  ready_ = false;
  endAttempt();
  ZUMApplication::sharedInstance()->requesterDidEndRequest(this);
  auto requestError = ZUMRequestErrorFromError(error);
  tellDelegate([requestError](ZUMRewardBasedVideoAdDelegate& d, ZUMRewardBasedVideoAd& self) {
    d.rewardBasedVideoAdDidFailToLoadWithError(self, requestError);
  });
}

// --- Presenting ---------------------------------------------------------------------------------

void ZUMRewardBasedVideoAd::presentFromRootViewController(const std::shared_ptr<platform::ViewController>& root) {
  platform::assertMainThread();
  if (requestInProgress_ || !ready_ || !ad_) return;
  if (ad_->responseType() == kZUMMediationResponseType) {
    presentMediatedRewardBasedVideoAdFromViewController(root);
    // Nothing is shown without the network that filled.
    ready_ = receivedConnector_ == nullptr;
  } else if (interstitial_) {
    interstitial_->presentFromRootViewController(root);
    // An interstitial that could not be shown is not used: it may still be presented.
    ready_ = !interstitial_->hasBeenUsed();
  }
}

// --- The internal interstitial ------------------------------------------------------------------

ZUMImplemented ZUMRewardBasedVideoAd::interstitialDidReceiveAd(ZUMInterstitial& ad) {
  if (isCurrentInterstitial(ad)) adLoadedSuccessfully();
  return kZUMImplemented;
}

ZUMImplemented ZUMRewardBasedVideoAd::interstitialDidFailToReceiveAdWithError(ZUMInterstitial& ad,
                                                                              const ZUMRequestErrorPtr& error) {
  if (!isCurrentInterstitial(ad)) return kZUMImplemented;
  if (requestInProgress_) {
    failedToLoadAdWithError(error);
  } else {
    ready_ = false;  // the ad died before it was shown
  }
  return kZUMImplemented;
}

ZUMImplemented ZUMRewardBasedVideoAd::interstitialWillPresentScreen(ZUMInterstitial& ad) {
  if (isCurrentInterstitial(ad)) tellDelegate([](auto& d, auto& self) { d.rewardBasedVideoAdDidOpen(self); });
  return kZUMImplemented;
}

ZUMImplemented ZUMRewardBasedVideoAd::interstitialWillDismissScreen(ZUMInterstitial&) { return kZUMImplemented; }

ZUMImplemented ZUMRewardBasedVideoAd::interstitialDidDismissScreen(ZUMInterstitial& ad) {
  if (isCurrentInterstitial(ad)) tellDelegate([](auto& d, auto& self) { d.rewardBasedVideoAdDidClose(self); });
  return kZUMImplemented;
}

ZUMImplemented ZUMRewardBasedVideoAd::interstitialWillLeaveApplication(ZUMInterstitial& ad) {
  if (isCurrentInterstitial(ad))
    tellDelegate([](auto& d, auto& self) { d.rewardBasedVideoAdWillLeaveApplication(self); });
  return kZUMImplemented;
}

ZUMImplemented ZUMRewardBasedVideoAd::interstitialDidReceiveAdClick(ZUMInterstitial& ad) {
  if (!isCurrentInterstitial(ad)) return kZUMImplemented;
  // The interstitial hears clicks on the slot's thread: the host hears them on the main one.
  ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &ZUMRewardBasedVideoAd::tellClick));
  return kZUMImplemented;
}

ZUMImplemented ZUMRewardBasedVideoAd::interstitialDidStartPlayingRewardBasedVideoAd(ZUMInterstitial& ad) {
  if (isCurrentInterstitial(ad)) tellDelegate([](auto& d, auto& self) { d.rewardBasedVideoAdDidStartPlaying(self); });
  return kZUMImplemented;
}

ZUMImplemented ZUMRewardBasedVideoAd::interstitialDidRewardUserWithReward(ZUMInterstitial& ad,
                                                                          const std::shared_ptr<ZUMAdReward>& reward) {
  if (isCurrentInterstitial(ad)) {
    tellDelegate([reward](auto& d, auto& self) { d.rewardBasedVideoAdDidRewardUserWithReward(self, reward); });
  }
  return kZUMImplemented;
}

// --- Early set-up from the application settings ----------------------------------------------------

void ZUMRewardBasedVideoAd::startObservingApplicationConfiguration() {
  if (configurationObserver_) return;
  auto queue = platform::OperationQueue::main();
  configurationObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMApplicationConfigurationChangedNotification, nullptr, queue,
      ZUMBindWeak(weak_from_this(), &ZUMRewardBasedVideoAd::setUpAdaptersFromApplicationConfiguration));
  queue->addOperation(ZUMBindWeak(weak_from_this(), &ZUMRewardBasedVideoAd::setUpAdaptersFromApplicationConfiguration));
}

void ZUMRewardBasedVideoAd::stopObservingApplicationConfiguration() {
  if (!configurationObserver_) return;
  platform::NotificationCenter::defaultCenter().removeObserver(configurationObserver_);
  configurationObserver_ = nullptr;
}

void ZUMRewardBasedVideoAd::setUpAdaptersFromApplicationConfiguration() {
  if (!configurationObserver_ || !ZUMUserDefaults::boolForKey(kEarlySetUpKey).value_or(false)) return;
  auto configs = rewardedNetworkConfigsFromApplicationConfiguration();
  if (configs.empty()) return;
  stopObservingApplicationConfiguration();
  setUpAdaptersForAdNetworkConfigsFromAppConfiguration(configs);
}

std::vector<ZUMRewardBasedVideoAd::NetworkConfig>
ZUMRewardBasedVideoAd::rewardedNetworkConfigsFromApplicationConfiguration() const {
  return rewardedNetworkConfigsFromSettings(ZUMApplication::sharedInstance()->configuration()->dictionary());
}

std::vector<ZUMRewardBasedVideoAd::NetworkConfig> ZUMRewardBasedVideoAd::rewardedNetworkConfigsFromSettings(
    const Json& settings) {
  std::vector<NetworkConfig> configs;
  if (!settings.is_object()) return configs;
  if (!ZUMJSONBoolForKey(settings, "app_config_refreshed_since_app_start", false)) return configs;
  const Json* units = ZUMJSONArrayForKey(settings, "ad_unit_id_settings");
  if (!units) return configs;
  for (const auto& unit : *units) {
    if (!unit.is_object() || ZUMJSONStringForKey(unit, "format") != "rewarded") continue;
    const Json* mediation = ZUMJSONObjectForKey(unit, "mediation_config");
    const Json* networks = mediation ? ZUMJSONArrayForKey(*mediation, "ad_networks") : nullptr;
    if (!networks) continue;
    for (const auto& network : *networks) {
      if (!network.is_object()) {
        ZUMLog(1, "Rewarded early set-up skips an ad network entry that is not a dictionary.");
        continue;
      }
      Json dictionary = network;
      if (!dictionary.contains("id")) dictionary["id"] = "{TBD}";
      platform::ErrorPtr error;
      auto config = ZUMMAdNetworkConfig::create(dictionary, &error);
      if (!config) {
        ZUMLog(1, "Rewarded early set-up skips an ad network entry: " +
                      (error ? error->localizedDescription() : std::string("no config")));
        continue;
      }
      // An adapter class that does not resolve is logged by the resolution.
      if (ZUMResolveAdapterClass(*config)) configs.push_back(std::move(config));
    }
  }
  return configs;
}
