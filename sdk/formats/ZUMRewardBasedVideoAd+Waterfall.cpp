// The rewarded ad's own mediation waterfall: one connector per adapter class, kept
// across loads; the networks asked one after another in response order, each attempt
// with its own time-out; fill statistics per allocation, fill and no-fill pings, and
// the filled network's events relayed to the host. Main thread.
#include "ZUMRewardBasedVideoAd.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ZUMAdReward.h"
#include "platform/base/ASCIIString.h"
#include "platform/base/JSONObjectIndex.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/Timer.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMRewardBasedVideoAdNetworkConnectorImpl.h"
#include "sdk/mediation/ZUMMUtilities.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/telemetry/ZUMAdUnitExposure.h"
#include "sdk/telemetry/ZUMAnalytics.h"

namespace {

using Json = nlohmann::ordered_json;

// Fill statuses of the statistics.
constexpr std::int64_t kFilled = 0;
constexpr std::int64_t kNoFill = 1;
constexpr std::int64_t kTimedOut = 2;
constexpr std::int64_t kSetUpFailed = 3;
constexpr std::int64_t kOtherFailure = 6;

// A server's time-out outside these bounds would ask every network at once, or hold
// the waterfall for hours.
constexpr double kDefaultTimeout = 10;
constexpr double kMinimumTimeout = 1;
constexpr double kMaximumTimeout = 60;
constexpr double kTimeoutTolerance = 0.01;

platform::ErrorPtr invalidServerResponse() {
  return ZUMMakeErrorWithDescription(kZUMErrorInvalidResponse, "Invalid server response.");
}

}  // namespace

// --- Parsing -------------------------------------------------------------------------------------

void ZUMRewardBasedVideoAd::processMediationAd(const std::shared_ptr<ZUMAd>& ad) {
  platform::ErrorPtr error;
  const auto response = decodedJSONResponseFromAd(*ad, &error);
  if (!response) return failedToLoadAdWithError(error);
  mediationConfig_ = ZUMMConfig::create(adUnitID_, *response, &error);
  if (error) return failedToLoadAdWithError(error);
  if (!mediationConfig_) {
    return failedToLoadAdWithError(
        ZUMMakeErrorWithDescription(kZUMErrorInvalidMediationResponse, "Failed to parse mediation config."));
  }
  requestingConnector_ = nullptr;
  resetFillStatus();
  setUpAdaptersForAdNetworkConfigs();
  buildPendingAdRequestConnectorsList();
  makeNextAdRequest();
}

std::optional<Json> ZUMRewardBasedVideoAd::decodedJSONResponseFromAd(const ZUMAd& ad, platform::ErrorPtr* error) const {
  Json headers = Json::object();
  // Header names arrive in any case.
  if (auto given = ad.responseHeaders(); given && given->is_object()) {
    platform::assignMembers(headers, *given, [](std::string_view name) { return platform::asciiLowercased(name); });
  }
  const bool mediation = ZUMJSONBoolForKey(headers, "x-qyra-mediation", false, ZUMJSONStrings::Read);
  const auto contentType = ZUMJSONStringForKey(headers, "content-type").value_or("");
  if (!mediation || !platform::startsWithIgnoringASCIICase(contentType, "application/json")) {
    *error = invalidServerResponse();
    return std::nullopt;
  }
  auto decoded = zum_decodedJSONObjectError(ad.adHTML(), error);
  if (!decoded) return std::nullopt;
  if (!decoded->is_object()) {
    *error = invalidServerResponse();
    return std::nullopt;
  }
  return decoded;
}

double ZUMRewardBasedVideoAd::adNetworkTimeout() const {
  const double timeout = mediationConfig_ ? mediationConfig_->adNetworkTimeout() : kDefaultTimeout;
  if (!std::isfinite(timeout) || timeout <= 0) return kDefaultTimeout;
  return std::clamp(timeout, kMinimumTimeout, kMaximumTimeout);
}

// --- Connectors ------------------------------------------------------------------------------------

void ZUMRewardBasedVideoAd::setUpAdaptersForAdNetworkConfigs() {
  removeStaleConnectors();
  for (const auto& config : mediationConfig_->adNetworkConfigs()) {
    if (!config) continue;
    if (!ZUMResolveAdapterClass(*config)) {
      adapterDidFailToSetUpWithAllocationID(config->allocationID());
      continue;
    }
    const std::string& className = *config->adapterClass();
    if (connectors_.contains(className)) continue;  // set up already: reused as it is
    auto connector = ZUMMRewardBasedVideoAdNetworkConnectorImpl::create();
    connector->setAdNetworkConfig(config);
    connector->setMediationConfig(mediationConfig_);
    connector->setRequest(request_);
    startSetUp(connector, className);
  }
}

void ZUMRewardBasedVideoAd::setUpAdaptersForAdNetworkConfigsFromAppConfiguration(
    const std::vector<NetworkConfig>& configs) {
  std::vector<std::pair<std::string, std::vector<NetworkConfig>>> byClass;
  for (const auto& config : configs) {
    if (!config || !ZUMResolveAdapterClass(*config)) continue;
    const std::string& className = *config->adapterClass();
    auto group = std::find_if(byClass.begin(), byClass.end(), [&](const auto& g) { return g.first == className; });
    if (group == byClass.end()) group = byClass.insert(byClass.end(), {className, {}});
    group->second.push_back(config);
  }
  for (auto& [className, group] : byClass) {
    if (connectors_.contains(className)) continue;
    auto connector = ZUMMRewardBasedVideoAdNetworkConnectorImpl::create();
    connector->setAdNetworkConfigsFromAppConfiguration(std::move(group));
    startSetUp(connector, className);
  }
}

void ZUMRewardBasedVideoAd::startSetUp(const ConnectorPtr& connector, const std::string& className) {
  connector->setDelegate(shared_from_this());
  connectors_[className] = connector;
  pendingSetUpConnectorsTimestamp_[className] = ZUMMonotonicTimeInMilliseconds();
  // The adapter may answer at once: the connector is known by then.
  connector->setUpAdapter();
}

void ZUMRewardBasedVideoAd::removeStaleConnectors() {
  const auto limit = static_cast<std::uint64_t>(adNetworkTimeout() * 1000);
  const auto now = ZUMMonotonicTimeInMilliseconds();
  for (auto it = pendingSetUpConnectorsTimestamp_.begin(); it != pendingSetUpConnectorsTimestamp_.end();) {
    if (now - it->second <= limit) {
      ++it;
      continue;
    }
    if (auto connector = connectorForAdapterClass(it->first)) {
      connector->askAdapterToStopBeingDelegate();
      connector->setDelegate(nullptr);
    }
    connectors_.erase(it->first);
    it = pendingSetUpConnectorsTimestamp_.erase(it);
  }
}

bool ZUMRewardBasedVideoAd::isKnownConnector(const Connector& connector) const {
  const auto name = connector.currentAdapterName();
  const auto found = connectors_.find(name);
  return found != connectors_.end() && found->second.get() == &connector;
}

bool ZUMRewardBasedVideoAd::isQueued(const Connector& connector) const {
  return std::any_of(pendingAdRequestConnectors_.begin(), pendingAdRequestConnectors_.end(),
                     [&](const ConnectorPtr& queued) { return queued.get() == &connector; });
}

// --- The waterfall ---------------------------------------------------------------------------------

void ZUMRewardBasedVideoAd::buildPendingAdRequestConnectorsList() {
  pendingAdRequestConnectors_.clear();
  for (const auto& config : mediationConfig_->adNetworkConfigs()) {
    if (!config) continue;
    if (config->allocationID()) allocationIDs_.push_back(*config->allocationID());
    if (!config->adapterClass()) continue;
    if (auto connector = connectorForAdapterClass(*config->adapterClass())) {
      pendingAdRequestConnectors_.push_back(connector);
    }
  }
}

void ZUMRewardBasedVideoAd::makeNextAdRequest() {
  endAttempt();
  while (!pendingAdRequestConnectors_.empty()) {
    auto connector = pendingAdRequestConnectors_.front();
    pendingAdRequestConnectors_.erase(pendingAdRequestConnectors_.begin());
    if (!isKnownConnector(*connector)) {
      // Its set-up failed after it was queued: there is no adapter to ask.
      adapterDidFailToSetUpWithAllocationID(allocationIDOf(*connector));
      continue;
    }
    requestingConnector_ = connector;
    connectorWillStartRequestingAd();
    const auto attempt = ++attempt_;
    timeoutTimer_ = platform::Timer::startOneShot(
        adNetworkTimeout(), ZUMBindWeak(weak_from_this(), &ZUMRewardBasedVideoAd::adRequestTimedOut, attempt));
    timeoutTimer_->setTolerance(kTimeoutTolerance);
    if (!pendingSetUpConnectorsTimestamp_.contains(connector->currentAdapterName())) requestAdFromConnector(connector);
    // Otherwise the set-up's end makes the request.
    return;
  }
  pingNoFillURLs();
  failedToLoadAdWithError(
      ZUMMakeErrorWithDescription(kZUMErrorNoFillFromAnyNetwork, "No ad returned from any ad server."));
}

void ZUMRewardBasedVideoAd::endAttempt() {
  ++attempt_;
  if (timeoutTimer_) timeoutTimer_->invalidate();
  timeoutTimer_ = nullptr;
}

void ZUMRewardBasedVideoAd::adRequestTimedOut(std::uint64_t attempt) {
  // Only the attempt that started this time-out ends by it: one connector serves every
  // entry of its class, so "still the requesting connector" is not enough.
  if (attempt != attempt_ || !requestingConnector_) return;
  auto connector = requestingConnector_;
  connectorDidFailToReceiveRewardBasedVideoAdWithError(
      *connector, ZUMMakeErrorWithDescription(
                      kZUMErrorTimeout, "Ad request from adapter " + connector->currentAdapterName() + " timed out."));
}

void ZUMRewardBasedVideoAd::requestAdFromConnector(const ConnectorPtr& connector) {
  connector->setRequest(request_);
  connector->setMediationConfig(mediationConfig_);
  connector->setAd(ad_);
  const auto name = connector->currentAdapterName();
  for (const auto& config : mediationConfig_->adNetworkConfigs()) {
    if (config && config->adapterClass() == name) {
      connector->setAdNetworkConfig(config);
      break;
    }
  }
  connector->requestRewardBasedVideoAd();
}

void ZUMRewardBasedVideoAd::presentMediatedRewardBasedVideoAdFromViewController(
    const std::shared_ptr<platform::ViewController>& root) {
  if (receivedConnector_) receivedConnector_->presentRewardBasedVideoAdFromRootViewController(root);
}

// --- The connectors' reports -------------------------------------------------------------------------

void ZUMRewardBasedVideoAd::connectorDidSetUpRewardBasedVideoAd(Connector& connector) {
  platform::assertMainThread();
  if (!isKnownConnector(connector)) return;
  pendingSetUpConnectorsTimestamp_.erase(connector.currentAdapterName());
  if (requestingConnector_.get() == &connector) requestAdFromConnector(requestingConnector_);
}

void ZUMRewardBasedVideoAd::connectorDidFailToSetUpRewardBasedVideoAdWithError(Connector& connector,
                                                                               const platform::ErrorPtr&) {
  platform::assertMainThread();
  if (!isKnownConnector(connector)) return;
  auto keepAlive = connector.shared_from_this();
  const auto name = connector.currentAdapterName();
  pendingSetUpConnectorsTimestamp_.erase(name);
  connectors_.erase(name);
  // A connector still waiting in the queue is counted when its turn comes.
  if (!isQueued(connector)) adapterDidFailToSetUpWithAllocationID(allocationIDOf(connector));
  if (requestingConnector_.get() == &connector) {
    requestingConnector_ = nullptr;
    makeNextAdRequest();
  }
}

void ZUMRewardBasedVideoAd::connectorDidReceiveRewardBasedVideoAd(Connector& connector) {
  platform::assertMainThread();
  if (requestingConnector_.get() != &connector) return;
  endAttempt();
  connectorDidReceiveAdStatistics(connector);
  receivedConnector_ = std::move(requestingConnector_);
  pendingAdRequestConnectors_.clear();
  adNetworkClassName_ = connector.currentAdapterName();
  adLoadedSuccessfully();
}

void ZUMRewardBasedVideoAd::connectorDidFailToReceiveRewardBasedVideoAdWithError(Connector& connector,
                                                                                 const platform::ErrorPtr& error) {
  platform::assertMainThread();
  if (requestingConnector_.get() != &connector) return;
  connectorDidFailToReceiveAdStatistics(connector, error);
  requestingConnector_ = nullptr;
  makeNextAdRequest();
}

void ZUMRewardBasedVideoAd::connectorDidReceiveClick(Connector&) {}

void ZUMRewardBasedVideoAd::connectorDidRewardUserWithReward(Connector& connector,
                                                             const std::shared_ptr<ZUMAdReward>& networkReward) {
  platform::assertMainThread();
  if (receivedConnector_.get() != &connector || !delegate()) return;
  std::shared_ptr<ZUMAdReward> reward;
  const Json* rewards = mediationConfig_ ? mediationConfig_->rewards() : nullptr;
  if (rewards && !rewards->empty()) {
    // The server's reward replaces the network's.
    reward = ZUMAdReward::createWithRewardDictionary(rewards->front());
  } else {
    reward = networkReward ? networkReward : ZUMAdReward::create("", platform::Decimal(1));
  }
  if (!reward) {
    ZUMLog(1, "Reward not given: the mediation response's first reward is not valid.");
    return;
  }
  connector.pingRewardedUserURLsWithReward(*reward, userIdentifier_);
  tellDelegate([reward](auto& d, auto& self) { d.rewardBasedVideoAdDidRewardUserWithReward(self, reward); });
}

void ZUMRewardBasedVideoAd::connectorDidOpenRewardBasedVideoAd(Connector& connector) {
  platform::assertMainThread();
  if (receivedConnector_.get() != &connector) return;
  if (!adUnitExposure_) adUnitExposure_ = ZUMAdUnitExposure::begin(adUnitID_);
  tellDelegate([](auto& d, auto& self) { d.rewardBasedVideoAdDidOpen(self); });
}

void ZUMRewardBasedVideoAd::connectorDidStartPlayingRewardBasedVideoAd(Connector& connector) {
  platform::assertMainThread();
  if (receivedConnector_.get() != &connector) return;
  tellDelegate([](auto& d, auto& self) { d.rewardBasedVideoAdDidStartPlaying(self); });
}

void ZUMRewardBasedVideoAd::connectorDidCloseRewardBasedVideoAd(Connector& connector) {
  platform::assertMainThread();
  if (receivedConnector_.get() != &connector) return;
  adUnitExposure_.reset();  // ends the exposure, once
  tellDelegate([](auto& d, auto& self) { d.rewardBasedVideoAdDidClose(self); });
}

void ZUMRewardBasedVideoAd::connectorWillLeaveApplication(Connector& connector) {
  platform::assertMainThread();
  if (receivedConnector_.get() != &connector) return;
  tellDelegate([](auto& d, auto& self) { d.rewardBasedVideoAdWillLeaveApplication(self); });
}

// --- Statistics and pings ------------------------------------------------------------------------------

std::optional<std::string> ZUMRewardBasedVideoAd::allocationIDOf(const Connector& connector) const {
  if (connector.adNetworkConfig()) return connector.adNetworkConfig()->allocationID();
  // A connector set up early has no entry yet: the first of its class in the response.
  if (!mediationConfig_) return std::nullopt;
  const auto name = connector.currentAdapterName();
  for (const auto& config : mediationConfig_->adNetworkConfigs()) {
    if (config && config->adapterClass() == name) return config->allocationID();
  }
  return std::nullopt;
}

void ZUMRewardBasedVideoAd::adapterDidFailToSetUpWithAllocationID(const std::optional<std::string>& allocationID) {
  adStatistics_->startTimingAdapter();
  if (allocationID) adStatistics_->endTimingAdapterWithFillStatus(kSetUpFailed, *allocationID);
}

void ZUMRewardBasedVideoAd::connectorWillStartRequestingAd() { adStatistics_->startTimingAdapter(); }

void ZUMRewardBasedVideoAd::connectorDidFailToReceiveAdStatistics(Connector& connector,
                                                                  const platform::ErrorPtr& error) {
  const auto code = error ? error->code() : -1;
  const auto status = code == kZUMErrorTimeout ? kTimedOut : code == kZUMErrorNoFill ? kNoFill : kOtherFailure;
  if (auto allocationID = allocationIDOf(connector))
    adStatistics_->endTimingAdapterWithFillStatus(status, *allocationID);
}

void ZUMRewardBasedVideoAd::connectorDidReceiveAdStatistics(Connector& connector) {
  const auto filled = allocationIDOf(connector);
  if (filled) adStatistics_->endTimingAdapterWithFillStatus(kFilled, *filled);
  std::vector<std::string> upToFilled;
  for (const auto& allocationID : allocationIDs_) {
    upToFilled.push_back(allocationID);
    if (allocationID == filled) break;
  }
  const auto fillStatus = adStatistics_->adapterFillStatusParameterOrderedByAllocationIDs(upToFilled);
  resetFillStatus();
  connector.pingFillURLsWithFillStatus(fillStatus);
}

void ZUMRewardBasedVideoAd::pingNoFillURLs() {
  const auto fillStatus = adStatistics_->adapterFillStatusParameterOrderedByAllocationIDs(allocationIDs_);
  resetFillStatus();
  ZUMMediationPing ping{.templates = mediationConfig_->noFillURLs(),
                        .defaultTemplate = ZUMMUtilities::defaultNoFillTemplate()};
  ping.qData = mediationConfig_->qdata();
  ping.appKey = mediationConfig_->appKey();
  ping.fillStatus = fillStatus;
  ZUMClickTrackerCollection::sharedInstance()->trackMediationURLsFromTemplates(ping);
}

void ZUMRewardBasedVideoAd::resetFillStatus() {
  adStatistics_->resetFillStatus();
  allocationIDs_.clear();
}
