#include "sdk/request/ZUMSlot.h"

#include <cmath>
#include <cstdio>
#include <mutex>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdEventDelegate.h"
#include "ZUMSlotAdKeyDelegate.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StringConversions.h"
#include "platform/base/TestingReset.h"
#include "platform/base/Timer.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceOrientation.h"
#include "platform/ui/View.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLocationService.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMScheduledBlockTimer.h"
#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMFullScreenNotifications.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlotEvents.h"
#include "sdk/request/ZUMSlotFormats.h"
#include "sdk/request/ZUMSlotMediation.h"
#include "sdk/request/ZUMSlotPlacement.h"
#include "sdk/request/ZUMSlotRendering.h"
#include "sdk/request/ZUMSlotResponseProcessing.h"
#include "sdk/request/ZUMSlotTelemetry.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kBackgroundLoadingDisabledText =
    "App is in background and background loading is disabled. Ignoring request.";

Json errorParameters(const platform::ErrorPtr& error) {
  Json info = Json::object();
  info["error_message"] = error ? error->localizedDescription() : std::string();
  info["error_code"] = error ? error->code() : 0;
  return info;
}

}  // namespace

// --- Creation and teardown ----------------------------------------------------------------

ZUMSlot::ZUMSlot(const platform::Rect& /*frame*/) : applicationStatistics_(std::make_unique<Json>(Json::object())) {}

std::shared_ptr<ZUMSlot> ZUMSlot::create(const platform::Rect& frame) {
  // The first slot runs the hub's early activities on the main thread.
  static auto* once = new platform::ResettableOnceFlag();
  once->call([] { ZUMRunOnMainThread([] { ZUMApplication::sharedInstance()->runEarlyActivities(); }); });
  std::shared_ptr<ZUMSlot> slot(new ZUMSlot(frame));
  slot->setUp(frame);
  return slot;
}

void ZUMSlot::setUp(const platform::Rect& frame) {
  platform::assertMainThread();
  if (auto rendering = ZUMSlotRendering::shared()) {
    auto parts = rendering->makeAdView(*this, frame);
    adView_ = std::move(parts.adView);
    adViewDelegate_ = std::move(parts.adViewDelegate);
  }
  if (!adView_) adView_ = platform::View::create(frame);
  CSI_ = ZUMCSI::create();
  CSI_->recordTimestampForLabel("native:view_create");
  if (auto telemetry = ZUMSlotTelemetry::shared()) telemetry->makeRootLoggingObject(*this);
  if (auto mediation = ZUMSlotMediation::shared()) mediationManager_ = mediation->makeMediationManager(*this);

  std::weak_ptr<ZUMSlot> weak = weak_from_this();
  auto onMain = [weak](void (ZUMSlot::*action)()) {
    return [weak, action](const platform::Notification&) { ZUMRunOnMainThread(ZUMBindWeak(weak, action)); };
  };
  auto& center = platform::NotificationCenter::defaultCenter();
  observers_.push_back(center.addObserver(platform::kApplicationWillResignActiveNotification, nullptr, nullptr,
                                          onMain(&ZUMSlot::deactivateReloadTimer)));
  observers_.push_back(center.addObserver(platform::kApplicationDidBecomeActiveNotification, nullptr, nullptr,
                                          onMain(&ZUMSlot::scheduleAdReloadTimer)));
  observers_.push_back(center.addObserver(kZUMAdModalViewControllerWillPresentFullScreenNotification, nullptr, nullptr,
                                          onMain(&ZUMSlot::adWillPresentFullScreen)));
  observers_.push_back(center.addObserver(kZUMAdModalViewControllerDidDismissFullScreenNotification, nullptr, nullptr,
                                          onMain(&ZUMSlot::scheduleAdReloadTimer)));

  adType_ = ZUMAdType::createForInterstitial();
  slotStats_ = ZUMSlotStatistics::create();
}

ZUMSlot::~ZUMSlot() {
  // No interface is handed the slot from here: it can no longer be shared.
  if (auto events = ZUMSlotEvents::shared(); ad_ && events) events->MRAIDAdDidUnload(ad_);
  if (adFetcher_) std::exchange(adFetcher_, nullptr)->cancel();
  auto& center = platform::NotificationCenter::defaultCenter();
  for (const auto& token : observers_) center.removeObserver(token);
  observers_.clear();
  if (reloadTimer_) std::exchange(reloadTimer_, nullptr)->invalidate();
  invalidate();
  if (CSI_) {
    CSI_->setBRVQueryID(ad_ ? ad_->BRVQueryID() : std::nullopt);
    CSI_->sendReport();
  }
  sendCSIAdLoadTimings();
  ZUMApplication::sharedInstance()->didNotSendAdStatistics(std::exchange(pendingAdStatistics_, {}));
}

// --- Loading --------------------------------------------------------------------------------

void ZUMSlot::loadRequest(const std::shared_ptr<ZUMRequest>& request) {
  // The copy is taken on the caller's thread; the slot's fields change on the main one.
  std::shared_ptr<ZUMRequest> copy = request ? request->copy() : nullptr;
  std::weak_ptr<ZUMSlot> weak = weak_from_this();
  ZUMRunOnMainThread([weak, copy] {
    auto hub = ZUMApplication::sharedInstance();
    if (!hub->hasRunAdditionalEarlyActivities()) hub->runAdditionalEarlyActivities();
    auto slot = weak.lock();
    if (!slot) return;
    slot->nextRequest_ = copy;
    slot->loadNextRequestWithAutoRefresh(false);
  });
}

void ZUMSlot::loadNextRequestWithAutoRefresh(bool autoRefresh) {
  if (!platform::isMainThread()) {
    std::weak_ptr<ZUMSlot> weak = weak_from_this();
    platform::DispatchQueue::main()->async(ZUMBindWeak(weak, &ZUMSlot::loadNextRequestWithAutoRefresh, autoRefresh));
    return;
  }
  startLoad(autoRefresh);
}

void ZUMSlot::startLoad(bool autoRefresh) {
  platform::assertMainThread();
  // A refresh that was on its way when the slot was invalidated ends here, before the
  // owner's gate could report a refusal. A load the host asks for still meets the gate
  // (a used interstitial's refusal must reach it).
  if (autoRefresh && state_ == State::kInvalidated) return;
  auto keepAlive = shared_from_this();  // delegates may drop their slot while called
  if (auto keyDelegate = adKeyDelegate()) keyDelegate->cacheViewHierarchyInformationForSlot(*this);
  ZUMLocationService::sharedInstance()->updateLocation();
  ZUMDevice::sharedInstance()->updateDynamicParameters();
  attemptedRequest_ = true;
  if (!shouldMakeRequest(nextRequest_)) return;

  cancelLoad();
  auto telemetry = ZUMSlotTelemetry::shared();
  auto recorder = telemetry ? telemetry->makeTimeRecorder("load_ad_ios") : nullptr;
  {
    std::lock_guard lock(mutex_);
    adLoadActionTimeRecorder_ = recorder;
  }
  if (recorder) {
    recorder->startTimingVariableWithName("arf_ios");
    recorder->startTimingVariableWithName("ttc_ios");
  }
  auto hub = ZUMApplication::sharedInstance();
  hub->requesterWillBeginRequest(this);
  if (recorder) recorder->setCustomizedParameterValue(ZUMRequest::sdkVersion(), "sdkVersion");
  willRequestAdURL();
  if (adUnitID_) {
    hub->configuration()->setObject(*adUnitID_, "last_requested_ad_unit_id", ZUMConfiguration::kHostPriority);
  }
  if (!nextRequest_) nextRequest_ = ZUMRequest::create();
  loadingRequest_ = nextRequest_->copy();
  if (auto delegate = slotDelegate()) delegate->slotWillLoadAdWithRequest(*this, loadingRequest_);
  if (state_ != State::kBuildingAdURL) return;  // the owner ended the load while told of it
  hasAutoRefreshed_ = autoRefresh;
  static auto* hintOnce = new platform::ResettableOnceFlag();
  hintOnce->call([this] { logTestDeviceHint(); });
  loadFromNetworkExtras();
}

void ZUMSlot::loadFromNetworkExtras() {
  auto extras = loadingRequest_->adNetworkExtrasFor<ZUMExtras>();
  // Read the ad object first: reading the parameters may unregister use-once extras.
  std::shared_ptr<ZUMAd> adObject = extras ? extras->ad() : nullptr;
  Json parameters = loadingRequest_->networkExtrasAdditionalParameters().value_or(Json::object());
  // Use-once extras leave the request that every refresh loads, not only this copy;
  // otherwise each refresh would replay the direct load.
  if (!loadingRequest_->adNetworkExtrasFor<ZUMExtras>()) {
    nextRequest_->removeAdNetworkExtrasFor(ZUMExtras::kClassName);
  }
  if (!parameters.is_object()) parameters = Json::object();

  std::uint64_t orientations = 0;
  if (auto text = ZUMJSONStringForKey(parameters, "_orientation")) {
    if (*text == "p") {
      orientations =
          platform::kInterfaceOrientationMaskPortrait | platform::kInterfaceOrientationMaskPortraitUpsideDown;
    } else if (*text == "l") {
      orientations = platform::kInterfaceOrientationMaskLandscape;
    }
  }

  std::shared_ptr<ZUMAd> directAd = adObject;
  if (!directAd) {
    if (const Json* dictionary = ZUMJSONObjectForKey(parameters, "_ad")) {
      directAd = adType_ && adType_->isInterstitial()
                     ? std::shared_ptr<ZUMAd>(ZUMInterstitialAd::createWithDictionary(*dictionary))
                     : std::shared_ptr<ZUMAd>(ZUMBannerAd::createWithDictionary(*dictionary));
    }
  }
  if (directAd) {
    if (orientations != 0) directAd->setSupportedOrientations(orientations);
    logEvent("direct_loading_from_ad", Json::object());
    std::optional<Json> headers;
    if (const Json* adHeaders = ZUMJSONObjectForKey(parameters, "_adHeaders")) headers = *adHeaders;
    loadAd(directAd, headers);
    return;
  }

  std::optional<platform::URL> requestURL;
  if (auto text = ZUMJSONStringForKey(parameters, "_requestUrl")) requestURL = platform::URL::fromString(*text);
  if (requestURL) {
    ZUMMRAIDInterceptor::sharedInstance()->setEnabled(true);
    auto ad = ZUMAd::create();
    ad->setAdURL(requestURL);
    if (orientations != 0) ad->setSupportedOrientations(orientations);
    logEvent("direct_loading_from_url", Json{{"url", requestURL->absoluteString()}});
    loadAd(ad, std::nullopt);
    return;
  }

  logEvent("url_build_request_started", Json::object());
  auto controller = ZUMSDKCoreController::sharedInstance();
  if (!controller) {
    // Nothing could ever answer: fail now rather than wait in state 2.
    didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError), false);
    return;
  }
  controller->buildAdURL(shared_from_this());
}

void ZUMSlot::logTestDeviceHint() {
  if (!loadingRequest_ || loadingRequest_->isATestDevice()) return;
  auto device = ZUMDevice::sharedInstance();
  const char* format = "To get test ads on this device, call: request.testDevices = @[ %s ];";
  std::string message;
  auto fill = [&](const std::string& value) {
    std::string text(format);
    text.replace(text.find("%s"), 2, value);
    return text;
  };
  if (device->isSimulator()) {
    message = fill("kZUMSimulatorID");
  } else if (auto identifier = device->deviceIdentifier(); !identifier.empty()) {
    message = fill("@\"" + identifier + "\"");
  } else {
    message = "Advertising tracking may be disabled. To get test ads on this device, enable advertising tracking.";
  }
  ZUMLogger::sharedInstance()->logPublicMessage(message);
}

bool ZUMSlot::shouldMakeRequest(const std::shared_ptr<ZUMRequest>& request) {
  auto delegate = slotDelegate();
  if (isMakingRequest()) {
    if (!delegate || delegate->slotShouldPreemptInProgressRequest(*this) != true) return false;
  }
  if (delegate) {
    platform::ErrorPtr error;
    if (delegate->slotShouldLoadRequest(*this, request, &error) == false) {
      adFailedToReceiveContentWithError(error ? error : ZUMMakeErrorWithCode(kZUMErrorInvalidRequest));
      return false;
    }
  }
  if (state_ == State::kInvalidated) return false;
  if (!ZUMApplication::sharedInstance()->backgroundLoadingEnabled() && !platform::Application::shared().isActive()) {
    adFailedToReceiveContentWithError(
        ZUMMakeErrorWithDescription(kZUMErrorInternalError, kBackgroundLoadingDisabledText));
    return false;
  }
  return ZUMDevice::sharedInstance()->OSIsSupported();
}

bool ZUMSlot::isMakingRequest() const {
  auto state = state_.load();
  return state >= State::kBuildingAdURL && state <= State::kRendering;
}

void ZUMSlot::setAdType(const std::shared_ptr<ZUMAdType>& adType, bool reloadRequest) {
  platform::assertMainThread();
  if (!adType || (adType_ && adType_->isEqual(adType))) return;
  auto oldType = std::exchange(adType_, adType);
  if (!reloadRequest) return;
  if (ad_ && ad_->responseType() == kZUMMediationResponseType) {
    bool eitherInterstitial = (oldType && oldType->isInterstitial()) || adType->isInterstitial();
    auto mediation = ZUMSlotMediation::shared();
    if (!eitherInterstitial && mediation && mediation->changeMediatedAdType(*this, adType)) return;
    if (auto delegate = slotDelegate()) delegate->slotDidReceiveAdView(*this, nullptr);
  }
  if (adView_) adView_->setHidden(true);
  if (isMakingRequest()) cancelPendingActions();
  if (attemptedRequest_) loadNextRequestWithAutoRefresh(false);
}

// --- Ending ---------------------------------------------------------------------------------

void ZUMSlot::cancelLoad() {
  platform::assertMainThread();
  ZUMApplication::sharedInstance()->requesterDidEndRequest(this);
  if (adFetcher_) std::exchange(adFetcher_, nullptr)->cancel();
  loadingAd_ = nullptr;
  setState(State::kIdle);
}

void ZUMSlot::cancelPendingActions() {
  deactivateReloadTimer();
  cancelLoad();
  cancelMediation();
}

void ZUMSlot::setMediationConnector(std::shared_ptr<ZUMMAdNetworkConnectorImpl> connector) {
  platform::assertMainThread();
  if (connector == mediationConnector_) return;
  mediationConnector_ = std::move(connector);
  auto mediation = ZUMSlotMediation::shared();
  if (mediation && mediationConnector_) mediation->adoptMediationConnector(*this, mediationConnector_);
}

void ZUMSlot::cancelMediation() {
  auto mediation = ZUMSlotMediation::shared();
  if (mediation && mediationManager_) mediation->cancelMediation(*mediationManager_);
}

void ZUMSlot::cancelPendingAndFutureActions() {
  cancelPendingActions();
  slotDelegate_.reset();
  reloadable_ = false;
  deactivateReloadTimer();
  setState(State::kInvalidated);
}

void ZUMSlot::invalidate() {
  platform::assertMainThread();
  // An invalidated slot never loads again, so its owner must not hear from a refresh.
  deactivateReloadTimer();
  ZUMApplication::sharedInstance()->requesterDidEndRequest(this);
  auto delegate = std::exchange(adViewDelegate_, nullptr);
  if (auto view = std::exchange(adView_, nullptr)) {
    if (auto rendering = ZUMSlotRendering::shared()) rendering->detachAdView(*view);
    ZUMRunOnMainThread([view] { view->removeFromSuperview(); });
    ZUMReleaseOnMainThread(std::move(view));
  }
  if (delegate) ZUMReleaseOnMainThread(std::move(delegate));
  setState(State::kInvalidated);
}

// --- Step methods ---------------------------------------------------------------------------

void ZUMSlot::setState(State state) {
  platform::assertMainThread();
  if (state_ == State::kInvalidated || state_ == state) return;
  state_ = state;
}

void ZUMSlot::resetState() { setState(State::kIdle); }

void ZUMSlot::didFailToRetrieveSDKCoreWithError(const platform::ErrorPtr& error) {
  setState(State::kSDKCoreFailed);
  adFailedToReceiveContentWithError(error);
}

void ZUMSlot::willRequestAdURL() {
  // Each load logs to a logger of its own.
  if (auto telemetry = ZUMSlotTelemetry::shared()) telemetry->resetLogger(*this);
  logEvent("loading_started", Json::object());
  setState(State::kBuildingAdURL);
  Json statistics = ZUMApplication::sharedInstance()->nextRequestStatisticsDictionaryForSlot(this);
  *applicationStatistics_ = statistics.is_object() ? std::move(statistics) : Json::object();
}

void ZUMSlot::didReceiveAdURL() { setState(State::kAdURLReceived); }

void ZUMSlot::willFetchAdContent() {
  platform::assertMainThread();
  setState(State::kFetching);
  if (!loadingAd_) return;
  auto statistics = loadingAd_->statistics();
  const Json& app = *applicationStatistics_;
  auto currts = app.find("currts");
  if (currts != app.end() && !currts->is_null()) {
    statistics->setObject(*currts, "treq", false);
  } else {
    statistics->setObject(ZUMMonotonicTimeInMilliseconds(), "treq", false);
  }
  statistics->setObject(ZUMMonotonicTimeInMilliseconds(), "tfetch", false);
  if (adUnitID_) statistics->setObject(*adUnitID_, "slotid", false);
  if (auto seq = app.find("seq_num"); seq != app.end() && !seq->is_null()) {
    statistics->setObject(*seq, "seq_num", false);
  }
}

void ZUMSlot::willProcessMediationResponse() {
  setState(State::kFetching);
  if (loadingAd_) loadingAd_->statistics()->setObject(true, "ismediation", true);
}

void ZUMSlot::willStartAdRendering() { setState(State::kRendering); }

void ZUMSlot::willLoadAdHTMLInWebView() { setState(State::kRendering); }

void ZUMSlot::didReceiveValidAd() {
  platform::assertMainThread();
  setState(State::kValidAd);
  if (auto recorder = adLoadActionTimeRecorder()) {
    recorder->endTimingVariableWithName("awr_ios");
    recorder->endTimingVariableWithName("ttc_ios");
  }
  sendCSIAdLoadTimings();
  pendingAdStatistics_.clear();
}

void ZUMSlot::didFailToReceiveAdWithError(const platform::ErrorPtr& givenError, bool shouldCancelPendingActions) {
  platform::assertMainThread();
  auto keepAlive = shared_from_this();
  bool invalidated = state_ == State::kInvalidated;
  if (shouldCancelPendingActions) cancelPendingActions();
  auto error = givenError ? givenError : ZUMMakeErrorWithCode(kZUMErrorInternalError);
  if (auto recorder = adLoadActionTimeRecorder()) {
    recorder->cancelTimingVariableWithName("awr_ios");
    recorder->cancelTimingVariableWithName("ttc_ios");
    recorder->setCustomizedParameterValue(error->localizedDescription(), "rqe");
  }
  sendCSIAdLoadTimings();
  setState(State::kFailed);
  loadingAd_ = nullptr;
  // Handed back once; a later failure or the teardown must not hand them back again.
  ZUMApplication::sharedInstance()->didNotSendAdStatistics(std::exchange(pendingAdStatistics_, {}));
  if (invalidated) {
    // An invalidated slot tells its owner nothing, but ends its request with the hub.
    ZUMApplication::sharedInstance()->requesterDidEndRequest(this);
    return;
  }
  adFailedToReceiveContentWithError(error);
}

void ZUMSlot::invalidateState() { setState(State::kInvalidated); }

void ZUMSlot::didLoadAdHTMLInWebView() {
  platform::assertMainThread();
  if (auto processing = ZUMSlotResponseProcessing::shared()) {
    processing->finishedLoadingAdResponse(*this, loadingAd_);
  } else if (loadingAd_) {
    ad_ = std::exchange(loadingAd_, nullptr);
  }
  auto rendering = ZUMSlotRendering::shared();
  if (adView_ && rendering) rendering->clearTouched(*adView_);
  auto now = static_cast<std::int64_t>(ZUMMonotonicTimeInMilliseconds());
  if (ad_) ad_->statistics()->setObject(now, "tload", true);
  timeLastLoaded_ = now;
  if (auto events = ZUMSlotEvents::shared()) events->postVolumeNotification(*this);
}

void ZUMSlot::adFinishedLoadingContent() {
  platform::assertMainThread();
  logEvent("loading_succeeded", Json::object());
  if (auto events = ZUMSlotEvents::shared()) events->startImpressionMonitoring(*this);
  ZUMApplication::sharedInstance()->requesterDidEndRequest(this);
  if (auto delegate = adLoadDelegate()) delegate->slotFinishedLoadingAdContent(*this);
}

void ZUMSlot::adFailedToReceiveContentWithError(const platform::ErrorPtr& error) {
  logEvent("loading_failed", errorParameters(error));
  ZUMApplication::sharedInstance()->requesterDidEndRequest(this);
  if (auto delegate = adLoadDelegate()) delegate->slotDidFailToLoadAdContentWithError(*this, error);
}

void ZUMSlot::sendCSIAdLoadTimings() {
  auto recorder = adLoadActionTimeRecorder();
  if (!recorder) return;
  if (ad_ && ad_->BRVQueryID()) recorder->setCustomizedParameterValue(*ad_->BRVQueryID(), "bqi");
  if (auto telemetry = ZUMSlotTelemetry::shared()) telemetry->reportTimeRecorder(recorder);
}

// --- Reload timer ---------------------------------------------------------------------------

void ZUMSlot::setReloadInterval(double seconds) {
  reloadInterval_ = std::isfinite(seconds) && seconds >= 1.0 ? seconds : 0.0;
}

void ZUMSlot::scheduleAdReloadTimer() {
  platform::assertMainThread();
  deactivateReloadTimer();
  if (state_ == State::kInvalidated || !reloadable_ || !attemptedRequest_ || !(reloadInterval_ > 0)) return;
  std::weak_ptr<ZUMSlot> weak = weak_from_this();
  reloadTimer_ = ZUMScheduledBlockTimer(
      false,
      [weak] {
        auto slot = weak.lock();
        if (!slot) return;
        slot->reloadTimer_ = nullptr;  // one-shot: spent once it fires
        slot->reloadCurrentRequest();
      },
      reloadInterval_, 0);
}

void ZUMSlot::deactivateReloadTimer() {
  if (auto timer = std::exchange(reloadTimer_, nullptr)) timer->invalidate();
}

void ZUMSlot::reloadCurrentRequest() {
  platform::assertMainThread();
  std::weak_ptr<ZUMSlot> weak = weak_from_this();
  ZUMRunOnMainThread([weak] {
    auto slot = weak.lock();
    if (!slot || !slot->reloadable_) return;
    auto delegate = slot->slotDelegate();
    if (delegate && delegate->slotShouldReloadCurrentRequest(*slot) == true) {
      slot->loadNextRequestWithAutoRefresh(true);
    } else {
      slot->scheduleAdReloadTimer();
    }
  });
}

void ZUMSlot::adWillPresentScreen() {
  platform::assertMainThread();
  if (auto delegate = adEventDelegate()) delegate->slotWillPresentScreen(*this);
}

void ZUMSlot::adWillDismissScreen() {
  platform::assertMainThread();
  if (auto delegate = adEventDelegate()) delegate->slotWillDismissScreen(*this);
}

void ZUMSlot::adDidDismissScreen() {
  platform::assertMainThread();
  if (auto delegate = adEventDelegate()) delegate->slotDidDismissScreen(*this);
}

void ZUMSlot::adWillPresentFullScreen() {
  platform::assertMainThread();
  auto rendering = ZUMSlotRendering::shared();
  if (adView_ && adView_->window() && rendering) rendering->pauseVideo(*adView_);
  deactivateReloadTimer();
}

// --- ZUMSDKCoreControllerDelegate -----------------------------------------------------------

std::shared_ptr<ZUMCSITimeRecorder> ZUMSlot::adLoadActionTimeRecorder() {
  std::lock_guard lock(mutex_);
  return adLoadActionTimeRecorder_;
}

std::int64_t ZUMSlot::requestedAdType() {
  auto delegate = slotDelegate();
  auto formats = ZUMSlotFormats::shared();
  if (!delegate || !formats) return 0;
  return formats->requestedAdTypeForOwner(*delegate);
}

void ZUMSlot::setRequestID(const std::string& requestID) {
  std::lock_guard lock(mutex_);
  requestID_ = requestID;
}

std::optional<std::string> ZUMSlot::adNetworkClassName() const {
  if (state_ != State::kValidAd || !ad_) return std::nullopt;
  if (ad_->responseType() != kZUMMediationResponseType) return kZUMFirstPartyAdapterClassName;
  auto mediation = ZUMSlotMediation::shared();
  return mediation ? mediation->mediatedAdNetworkClassName(*this) : std::nullopt;
}

std::optional<std::string> ZUMSlot::requestID() const {
  std::lock_guard lock(mutex_);
  return requestID_;
}

// The controller's answers count only while the slot waits for one (state 2); a late
// answer to a load that was cancelled or has failed is dropped.
void ZUMSlot::loadAdURLWithParameters(const Json& parameters) {
  platform::assertMainThread();
  if (state_ != State::kBuildingAdURL) return;
  auto keepAlive = shared_from_this();
  logEvent("url_build_request_completed", Json::object());
  didReceiveAdURL();
  if (parameters.is_object() && parameters.contains("errors") && !parameters["errors"].is_null()) {
    didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInvalidRequest), false);
    return;
  }
  const std::string scenario = ZUMJSONStringForKey(parameters, "request_scenario", "");
  auto statistics = ZUMApplication::sharedInstance()->statistics();
  auto sequenceNumber = [&] { return statistics->objectForKey("seq_num").value_or(Json()); };
  if (scenario == "offline_empty") {
    statistics->incrementNumberForKey("oar", false);
    statistics->setObject(sequenceNumber(), "losn", false);
  } else if (scenario == "offline_buffer") {
    statistics->incrementNumberForKey("bas_off", false);
    statistics->incrementNumberForKey("oar", false);
    statistics->setObject(sequenceNumber(), "losn", false);
  } else if (scenario == "online_buffer") {
    statistics->incrementNumberForKey("bas_on", false);
  }

  auto ad = ZUMAd::create();
  if (auto text = ZUMJSONStringForKey(parameters, "url")) ad->setAdURL(platform::URL::fromString(*text));
  auto width = ZUMJSONDoubleForKey(parameters, "interstitial_size_width", ZUMJSONStrings::Read);
  auto height = ZUMJSONDoubleForKey(parameters, "interstitial_size_height", ZUMJSONStrings::Read);
  if (width && height && *width >= 0 && *height >= 0) ad->setSize({*width, *height});
  if (auto threshold = ZUMJSONDoubleForKey(parameters, "cropped_content_threshold", ZUMJSONStrings::Read)) {
    ad->setCroppedContentThreshold(*threshold);
  }
  loadAd(ad, std::nullopt);
}

void ZUMSlot::loadAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<Json>& headers) {
  platform::assertMainThread();
  if (state_ != State::kBuildingAdURL && state_ != State::kAdURLReceived) return;
  auto keepAlive = shared_from_this();
  if (!ad) {
    didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError), false);
    return;
  }
  cancelMediation();
  if (adFetcher_) std::exchange(adFetcher_, nullptr)->cancel();
  resetRequestState();
  loadingAd_ = ad;
  willFetchAdContent();
  ZUMApplication::sharedInstance()->loadServerSideConfigurationIfNeeded();

  if (ad->hasAdNetworkJavaScript()) {
    if (auto processing = ZUMSlotResponseProcessing::shared()) {
      processing->loadAdNetworkJavaScriptRequest(*this, ad);
    } else {
      didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError), false);
    }
    return;
  }
  if (!(adType_ && adType_->isInterstitial()) && std::dynamic_pointer_cast<ZUMBannerAd>(ad)) {
    newAdSize_ = ZUMAdSizeFromSize(ad->size());
    setReloadInterval(ad->reloadInterval());
  }
  logEvent("url_fetching_started", Json{{"url", ad->adURL() ? ad->adURL()->absoluteString() : std::string()}});
  auto fetcher = ZUMAdFetcher::create();
  if (!fetcher) {
    didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError), false);
    return;
  }
  adFetcher_ = fetcher;
  ad->setAdUnitID(adUnitID_);
  platform::ErrorPtr error;
  if (!fetcher->fetchRemainingContentForAd(ad, headers, shared_from_this(), &error) && adFetcher_ == fetcher &&
      state_ == State::kFetching) {
    // A fetch that cannot start and has not said so would otherwise leave the slot
    // fetching for ever (a refused connection has already reported its failure).
    adFetcher_ = nullptr;
    didFailToReceiveAdWithError(error ? error : ZUMMakeErrorWithCode(kZUMErrorInternalError), false);
  }
}

void ZUMSlot::resetRequestState() {
  if (auto events = ZUMSlotEvents::shared(); ad_ && events) events->MRAIDAdDidUnload(ad_);
  ad_ = nullptr;
  resetState();
}

void ZUMSlot::invalidJavaScriptRequest() {
  platform::assertMainThread();
  if (state_ != State::kBuildingAdURL) return;
  didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInvalidRequest), false);
}

void ZUMSlot::failedJavaScriptFile() {
  platform::assertMainThread();
  if (state_ != State::kBuildingAdURL) return;
  didFailToRetrieveSDKCoreWithError(ZUMMakeErrorWithCode(kZUMErrorNetworkError));
}

void ZUMSlot::SDKCoreRequestDidFailWithError(const platform::ErrorPtr& error) {
  platform::assertMainThread();
  if (state_ != State::kBuildingAdURL) return;
  didFailToReceiveAdWithError(error ? error : ZUMMakeErrorWithCode(kZUMErrorInternalError), false);
}

// --- ZUMAdFetcherDelegate -------------------------------------------------------------------

void ZUMSlot::adFetcherDidFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad) {
  platform::assertMainThread();
  if (&fetcher != adFetcher_.get() || state_ == State::kInvalidated) return;  // a cancelled fetch
  auto keepAlive = shared_from_this();
  logEvent("url_fetching_succeeded", Json::object());
  didFetchAdContent();
  if (auto processing = ZUMSlotResponseProcessing::shared()) {
    processing->processAdResponse(*this, ad);
  } else {
    didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorInternalError), false);
  }
}

void ZUMSlot::didFetchAdContent() {
  if (loadingAd_) loadingAd_->statistics()->setObject(ZUMMonotonicTimeInMilliseconds(), "tresponse", false);
  auto statistics = ZUMApplication::sharedInstance()->statistics();
  statistics->setObject(0, "oar", false);
  statistics->setObject(0, "bas_on", false);
  statistics->setObject(0, "bas_off", false);
}

void ZUMSlot::adFetcherDidFailToFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad,
                                        const platform::ErrorPtr& error, std::int64_t responseCode) {
  platform::assertMainThread();
  if (&fetcher != adFetcher_.get() || state_ == State::kInvalidated) return;  // a cancelled fetch
  auto keepAlive = shared_from_this();
  Json info = errorParameters(error);
  info["response_code"] = responseCode;
  logEvent("url_fetching_failed", info);
  // The same floor as every other interval: under 1 s, or not finite, means no refresh.
  if (!(error && error->code() == kZUMErrorInvalidResponse) && ad) setReloadInterval(ad->reloadInterval());
  didFailToReceiveAdWithError(error, false);
}

// --- Fields ---------------------------------------------------------------------------------

Json ZUMSlot::applicationStatistics() const { return *applicationStatistics_; }

void ZUMSlot::setAdUnitID(std::optional<std::string> adUnitID) {
  platform::assertMainThread();
  adUnitID_ = std::move(adUnitID);
  slotStats_->setIdentifier(adUnitID_.value_or(std::string()));
}

void ZUMSlot::setPlacement(const std::shared_ptr<ZUMSlotPlacement>& placement) {
  platform::assertMainThread();
  placement_ = placement;
  if (auto rendering = ZUMSlotRendering::shared(); adView_ && rendering) {
    rendering->adViewDidMoveToPlacement(*adView_, placement);
  }
  auto processing = ZUMSlotResponseProcessing::shared();
  if (placement && pendingCustomRenderingAd_ && processing) processing->renderPendingCustomRenderingAd(*this);
}

std::string ZUMSlot::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<ZUMSlot: " + std::string(address) + ">\nad unit ID:" + adUnitID_.value_or("(null)");
}

void ZUMSlot::logEvent(const std::string& name, const Json& info) {
  if (auto events = ZUMSlotEvents::shared()) events->logEvent(*this, name, info);
}
