#include "sdk/mediation/ZUMMAdManager.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ZUMMAdNetworkAdapter.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMScheduledBlockTimer.h"
#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMUtilities.h"
#include "sdk/native/ZUMMediatedAd.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/rendering/ZUMSlotResponseProcessor.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"

namespace {

std::shared_ptr<ZUMAdMediationDelegate> mediationDelegateOf(const std::shared_ptr<ZUMSlot>& slot) {
  auto ad = slot ? slot->ad() : nullptr;
  return ad ? ad->mediationDelegate() : nullptr;
}

void logDropped(const char* what) {
  ZUMLog(kZUMLogLevelDebug, std::string("Mediation: dropped ") + what + " of a network no longer asked.");
}

}  // namespace

std::shared_ptr<ZUMMAdManager> ZUMMAdManager::create(const std::shared_ptr<ZUMSlot>& slot) {
  return std::shared_ptr<ZUMMAdManager>(new ZUMMAdManager(slot));
}

ZUMMAdManager::~ZUMMAdManager() {
  if (adNetworkTimeoutTimer_) adNetworkTimeoutTimer_->invalidate();
  if (requestingConnector_ && reportsHere(*requestingConnector_)) requestingConnector_->setAdManager(nullptr);
  if (receivedConnector_ && reportsHere(*receivedConnector_)) receivedConnector_->setAdManager(nullptr);
}

bool ZUMMAdManager::reportsHere(const Connector& connector) const {
  return connector.adManager().get() == static_cast<const ZUMMConnectorDelegate*>(this);
}

void ZUMMAdManager::adoptReceivedConnector(const std::shared_ptr<Connector>& connector) {
  platform::assertMainThread();
  if (!connector) return;
  receive(connector);
  connector->setAdManager(shared_from_this());
}

// --- The slot's calls --------------------------------------------------------------------

void ZUMMAdManager::mediateForAdType(const std::shared_ptr<ZUMAdType>& adType,
                                     const std::shared_ptr<const ZUMMConfig>& config) {
  platform::assertMainThread();
  adType_ = adType;
  config_ = config;
  if (requestInProgress_) return;
  adNetworkConfigQueue_ = config ? config->adNetworkConfigs() : decltype(adNetworkConfigQueue_){};
  if (auto current = slot()) {
    statisticsHold_ = std::make_unique<ZUMSlotStatistics::SaveHold>(current->slotStats());
    current->slotStats()->resetTimingAdapters();
    current->slotStats()->resetFillStatus();
  }
  fillStatusPingsSent_ = false;
  makeAdRequest();
}

bool ZUMMAdManager::changeAdTypeTo(const std::shared_ptr<ZUMAdType>& adType) {
  platform::assertMainThread();
  adType_ = adType;
  auto adapter = receivedConnector_ ? receivedConnector_->adapter() : nullptr;
  return adapter && adapter->changeAdSizeTo(adType ? adType->adSize() : ZUMAdSize{});
}

void ZUMMAdManager::presentInterstitialFromRootViewController(
    const std::shared_ptr<platform::ViewController>& controller) {
  platform::assertMainThread();
  if (auto adapter = receivedConnector_ ? receivedConnector_->adapter() : nullptr) {
    adapter->presentInterstitialFromRootViewController(controller);
  }
}

void ZUMMAdManager::cancel() {
  ZUMRunOnMainThread([self = shared_from_this()] {
    self->cancelPendingActions();
    // A connector another slot took over serves that slot: it goes on.
    for (const auto& connector : {self->requestingConnector_, self->receivedConnector_}) {
      if (connector && self->reportsHere(*connector)) connector->askAdapterToStopBeingDelegate();
    }
    if (self->fillStatusPingsSent_ || !self->requestingConnector_) return;
    self->recordFill(ZUMMFillState::kCancelled, self->attemptEntry_);
    self->reportNoFill();
    self->requestingConnector_ = nullptr;
    self->receivedConnector_ = nullptr;
    self->resetRequestingState();
  });
}

void ZUMMAdManager::cancelPendingActions() {
  platform::assertMainThread();
  ++pendingActionGroup_;
  ++attempt_;  // the owner's late word on a mediated ad changes nothing either
  invalidateTimer();
}

// --- A pass ------------------------------------------------------------------------------

void ZUMMAdManager::makeAdRequest() {
  if (!platform::isMainThread()) {
    platform::DispatchQueue::main()->async([weak = weak_from_this(), group = pendingActionGroup_] {
      auto self = weak.lock();
      if (self && self->pendingActionGroup_ == group) self->makeAdRequest();
    });
    return;
  }
  // A network that answers inside its request asks for the next one here: the loop
  // below takes it, so a response of many such networks never deepens the stack.
  if (askingNetwork_) {
    nextNetworkGroup_ = pendingActionGroup_;
    return;
  }
  auto keepAlive = shared_from_this();
  askingNetwork_ = true;
  do {
    nextNetworkGroup_.reset();
    askNextNetwork();
  } while (nextNetworkGroup_ == pendingActionGroup_);
  askingNetwork_ = false;
}

void ZUMMAdManager::askNextNetwork() {
  auto entry = dequeueAdNetworkConfig();
  if (!entry) return endPass(kZUMErrorNoFillFromAnyNetwork);
  auto current = slot();
  auto owner = mediationDelegateOf(current);
  auto connector = owner ? owner->mediationConnectorForConfiguration(config_, entry) : nullptr;
  if (!connector) return endPass(kZUMErrorNoMediationAdapter);
  requestInProgress_ = true;
  attemptEntry_ = entry;
  if (auto configuration = owner->adLoaderConfigurationForAd(current->ad(), entry)) {
    connector->setAdLoaderConfiguration(*configuration);
  }
  connector->setUpAdapter();
  connector->setAdManager(shared_from_this());
  requestingConnector_ = connector;
  ++attempt_;
  startTimeoutTimer();
  connector->getAdFromAdapterWithType(adType_);
}

std::shared_ptr<ZUMMAdNetworkConfig> ZUMMAdManager::dequeueAdNetworkConfig() {
  auto current = slot();
  while (!adNetworkConfigQueue_.empty()) {
    auto entry = adNetworkConfigQueue_.front();
    adNetworkConfigQueue_.erase(adNetworkConfigQueue_.begin());
    if (current) current->slotStats()->startTimingAdapter();
    if (entry->adapterClass()) {
      startCSITiming();
      return entry;
    }
    recordExit(ZUMMExitCode::kNoAdapter);
    recordFill(ZUMMFillState::kNoAdapter, entry);
  }
  return nullptr;
}

void ZUMMAdManager::endPass(std::int64_t code) {
  invalidateTimer();
  reportNoFill();
  if (auto current = slot()) current->didFailToReceiveAdWithError(ZUMMakeErrorWithCode(code), false);
}

double ZUMMAdManager::timeoutForNextAttempt() const {
  if (!config_) return 0;
  const double seconds = adNetworkConfigQueue_.empty() ? config_->finalAdNetworkTimeout() : config_->adNetworkTimeout();
  // Not a positive number (negative, not finite): due at once.
  if (!(seconds > 0) || !std::isfinite(seconds)) return 0;
  return std::min(seconds, kZUMMMaximumNetworkTimeout);
}

void ZUMMAdManager::startTimeoutTimer() {
  invalidateTimer();
  std::weak_ptr<ZUMMAdManager> weak = weak_from_this();
  adNetworkTimeoutTimer_ = ZUMScheduledBlockTimer(
      false,
      [weak, attempt = attempt_] {
        if (auto self = weak.lock()) self->adNetworkTimeoutHandler(attempt);
      },
      timeoutForNextAttempt(), kZUMMNetworkTimeoutTolerance);
}

void ZUMMAdManager::invalidateTimer() {
  if (auto timer = std::exchange(adNetworkTimeoutTimer_, nullptr)) timer->invalidate();
}

void ZUMMAdManager::adNetworkTimeoutHandler(std::uint64_t attempt) {
  // Only the attempt the timer was made for, while it is still asked.
  if (attempt != attempt_ || !requestInProgress_ || !requestingConnector_) return;
  auto connector = requestingConnector_;
  recordExit(ZUMMExitCode::kTimeout);
  recordFill(ZUMMFillState::kTimeout, attemptEntry_);
  CSITimingFailed(attemptEntry_->adapterClass());
  resetRequestingState();
  connector->askAdapterToStopBeingDelegate();
  if (connector != receivedConnector_) detach(*connector);
  requestingConnector_ = nullptr;
  makeAdRequest();
}

ZUMMAdManager::Sender ZUMMAdManager::shouldProcessResponseFromConnector(const Connector& connector) {
  if (requestInProgress_ && &connector == requestingConnector_.get()) {
    resetRequestingState();
    return Sender::kAttempt;
  }
  if (&connector == receivedConnector_.get()) return Sender::kReceived;
  return Sender::kStale;
}

void ZUMMAdManager::resetRequestingState() {
  invalidateTimer();
  requestInProgress_ = false;
}

void ZUMMAdManager::detach(Connector& connector) {
  cancelPendingActions();
  if (reportsHere(connector)) connector.setAdManager(nullptr);
}

void ZUMMAdManager::receive(const std::shared_ptr<Connector>& connector) {
  if (connector == receivedConnector_) return;
  // Replaced: its network's adapter stops too, whoever still holds the connector; but
  // not one that another slot's waterfall took over.
  if (receivedConnector_ && reportsHere(*receivedConnector_)) {
    receivedConnector_->askAdapterToStopBeingDelegate();
    detach(*receivedConnector_);
  }
  receivedConnector_ = connector;
}

bool ZUMMAdManager::sendFillPingOnce() {
  if (fillStatusPingsSent_) return true;
  if (receivedConnector_) receivedConnector_->reportFill();
  fillStatusPingsSent_ = true;
  statisticsHold_.reset();
  return false;
}

// --- Answers -----------------------------------------------------------------------------

void ZUMMAdManager::adRequestReturnsFromConnectorWithView(Connector& connector,
                                                          const std::shared_ptr<platform::View>& view) {
  if (!platform::isMainThread()) {
    return ZUMRunOnMainThread([self = shared_from_this(), c = connector.shared_from_this(), view] {
      self->adRequestReturnsFromConnectorWithView(*c, view);
    });
  }
  const Sender sender = shouldProcessResponseFromConnector(connector);
  if (sender == Sender::kStale) return logDropped("a banner");
  if (sender == Sender::kAttempt) {
    recordExit(ZUMMExitCode::kFilled);
    CSITimingSucceeded(attemptEntry_->adapterClass());
    if (requestingConnector_ != receivedConnector_) {
      recordFill(ZUMMFillState::kFilled, attemptEntry_);
      receive(requestingConnector_);
      if (sendFillPingOnce()) return;
    }
  }
  // The attempt's network, or the received one refreshing by itself.
  showView(view);
}

void ZUMMAdManager::showView(const std::shared_ptr<platform::View>& view) {
  auto current = slot();
  if (!current) return;
  ZUMSlotResponseProcessor::setViewForAdUsingView(*current, view);
  current->didReceiveValidAd();
  current->adFinishedLoadingContent();
}

void ZUMMAdManager::adRequestReturnsFromConnectorWithInterstitial(Connector& connector,
                                                                  const std::shared_ptr<void>& interstitial) {
  if (!platform::isMainThread()) {
    return ZUMRunOnMainThread([self = shared_from_this(), c = connector.shared_from_this(), interstitial] {
      self->adRequestReturnsFromConnectorWithInterstitial(*c, interstitial);
    });
  }
  const Sender sender = shouldProcessResponseFromConnector(connector);
  if (sender == Sender::kStale) return logDropped("an interstitial");
  if (sender == Sender::kAttempt && requestingConnector_ != receivedConnector_) {
    recordExit(ZUMMExitCode::kFilled);
    recordFill(ZUMMFillState::kFilled, attemptEntry_);
    CSITimingSucceeded(attemptEntry_->adapterClass());
    receive(requestingConnector_);
    if (sendFillPingOnce()) return;
  }
  acceptInterstitial(interstitial);
  // The received network answering again leaves a newer attempt asked.
  if (sender == Sender::kAttempt) requestingConnector_ = nullptr;
}

void ZUMMAdManager::acceptInterstitial(const std::shared_ptr<void>& interstitial) {
  lastMediatedInterstitial_ = interstitial;
  auto current = slot();
  if (!current) return;
  current->didReceiveValidAd();
  current->adFinishedLoadingContent();
}

void ZUMMAdManager::adRequestReturnsFromConnectorWithMediatedAd(Connector& connector,
                                                                const std::shared_ptr<ZUMMediatedAd>& mediatedAd) {
  if (!platform::isMainThread()) {
    return ZUMRunOnMainThread([self = shared_from_this(), c = connector.shared_from_this(), mediatedAd] {
      self->adRequestReturnsFromConnectorWithMediatedAd(*c, mediatedAd);
    });
  }
  // Only the attempt's answer: a mediated ad of the received network outside an attempt
  // has no pass to end, and must not end a newer one.
  if (shouldProcessResponseFromConnector(connector) != Sender::kAttempt || !mediatedAd) {
    return logDropped("a mediated ad");
  }
  CSITimingSucceeded(attemptEntry_->adapterClass());
  auto current = slot();
  auto owner = mediationDelegateOf(current);
  if (!owner || !owner->processesMediatedAds()) return makeAdRequest();
  std::weak_ptr<Connector> weakConnector = requestingConnector_;
  mediatedAd->addClickHandler([weakConnector] {
    if (auto c = weakConnector.lock()) c->reportClick();
  });
  mediatedAd->addImpressionHandler([weakConnector] {
    if (auto c = weakConnector.lock()) c->reportImpression();
  });
  owner->adProcessMediatedAd(
      current->ad(), mediatedAd,
      [weak = weak_from_this(), c = requestingConnector_, attempt = attempt_](const platform::ErrorPtr& error) {
        ZUMRunOnMainThread([weak, c, attempt, error] {
          if (auto self = weak.lock()) self->mediatedAdProcessed(c, attempt, error);
        });
      });
}

void ZUMMAdManager::mediatedAdProcessed(const std::shared_ptr<Connector>& connector, std::uint64_t attempt,
                                        const platform::ErrorPtr& error) {
  // A pass cancelled or moved on since: its owner's late word changes nothing.
  if (attempt != attempt_ || requestInProgress_ || connector != requestingConnector_)
    return logDropped("an owner's answer");
  if (error) {
    recordFill(ZUMMFillState::kError, attemptEntry_);
    return makeAdRequest();
  }
  recordFill(ZUMMFillState::kFilled, attemptEntry_);
  receive(connector);
  requestingConnector_ = nullptr;
  if (auto current = slot()) {
    current->didReceiveValidAd();
    current->adFinishedLoadingContent();
  }
  sendFillPingOnce();
}

void ZUMMAdManager::adRequestFailedFromConnectorWithError(Connector& connector, const platform::ErrorPtr& error) {
  if (!platform::isMainThread()) {
    return ZUMRunOnMainThread([self = shared_from_this(), c = connector.shared_from_this(), error] {
      self->adRequestFailedFromConnectorWithError(*c, error);
    });
  }
  const Sender sender = shouldProcessResponseFromConnector(connector);
  if (sender == Sender::kStale) return logDropped("a failure");
  const bool refreshed = connector.didNetworkRefresh();
  if (sender == Sender::kAttempt) {
    CSITimingFailed(attemptEntry_->adapterClass());
    if (requestingConnector_ != receivedConnector_) detach(*requestingConnector_);
    requestingConnector_ = nullptr;
  }
  if (refreshed && !(adType_ && adType_->isInterstitial())) {
    // The shown network failed to load again by itself: its own failure, no new pass.
    if (auto current = slot()) {
      current->mediatedAdNetworkAutoRefreshed();
      current->adFailedToReceiveContentWithError(ZUMMakeErrorWithDescription(
          kZUMErrorServerError, error ? std::optional<std::string>(error->localizedDescription()) : std::nullopt));
    }
    return;
  }
  if (sender != Sender::kAttempt) return logDropped("a failure");
  const bool noFill = error && error->domain() == kZUMErrorDomain && error->code() == kZUMErrorNoFill;
  recordExit(noFill ? ZUMMExitCode::kNoFill : ZUMMExitCode::kError);
  recordFill(noFill ? ZUMMFillState::kNoFill : ZUMMFillState::kError, attemptEntry_);
  makeAdRequest();
}

bool ZUMMAdManager::connectorShouldReturnMediatedAd(Connector&) {
  auto owner = mediationDelegateOf(slot());
  return owner && owner->processesMediatedAds();
}

// --- Statistics and pings ----------------------------------------------------------------

void ZUMMAdManager::recordExit(ZUMMExitCode code) {
  if (auto current = slot()) current->slotStats()->endTimingAdapterWithExitCode(static_cast<std::int64_t>(code));
}

void ZUMMAdManager::recordFill(ZUMMFillState state, const std::shared_ptr<ZUMMAdNetworkConfig>& entry) {
  auto current = slot();
  if (!current || !entry) return;
  current->slotStats()->endTimingAdapterWithFillStatus(static_cast<std::int64_t>(state),
                                                       entry->allocationID().value_or(""));
}

void ZUMMAdManager::reportNoFill() {
  fillStatusPingsSent_ = true;
  ZUMMediationPing ping = ZUMMUtilities::pingForEntry(config_.get(), nullptr);
  if (auto current = slot()) {
    auto stats = current->slotStats();
    ping.durations = stats->adapterDurationsParameter();
    ping.exitCodes = stats->adapterExitCodesParameter();
    stats->resetTimingAdapters();
    ping.fillStatus = stats->adapterFillStatusParameter();
    stats->resetFillStatus();
  }
  if (config_) ping.templates = config_->noFillURLs();
  ping.defaultTemplate = ZUMMUtilities::defaultNoFillTemplate();
  statisticsHold_.reset();
  ZUMClickTrackerCollection::sharedInstance()->trackMediationURLsFromTemplates(ping);
}

// --- CSI ---------------------------------------------------------------------------------

std::shared_ptr<ZUMCSITimeRecorder> ZUMMAdManager::recorder() const {
  auto current = slot();
  auto csi = current ? current->CSI() : nullptr;
  return csi ? csi->timeRecorderForAction(kZUMMCSIActionLoadMediation) : nullptr;
}

void ZUMMAdManager::startCSITiming() {
  if (auto timings = recorder()) {
    timings->startTimingVariableWithName(kZUMMCSISuccessVariable);
    timings->startTimingVariableWithName(kZUMMCSIFailureVariable);
  }
}

void ZUMMAdManager::CSITimingSucceeded(const std::optional<std::string>& adapterName) {
  auto timings = recorder();
  if (!timings || !adapterName) return;
  const auto duration = timings->durationAfterEndTimingVariableWithName(kZUMMCSISuccessVariable);
  timings->cancelTimingVariableWithName(kZUMMCSIFailureVariable);
  timings->setCustomizedParameterValue(*adapterName + "." + std::to_string(duration), kZUMMCSINetworkSucceedParameter);
  if (failedAdapterNamesAndDurations_.empty()) return;
  std::string joined;
  for (const auto& part : failedAdapterNamesAndDurations_) joined += (joined.empty() ? "" : ".") + part;
  timings->setCustomizedParameterValue(joined, kZUMMCSINetworksFailParameter);
  failedAdapterNamesAndDurations_.clear();
}

void ZUMMAdManager::CSITimingFailed(const std::optional<std::string>& adapterName) {
  auto timings = recorder();
  if (!timings || !adapterName) return;
  timings->cancelTimingVariableWithName(kZUMMCSISuccessVariable);
  const auto duration = timings->durationAfterEndTimingVariableWithName(kZUMMCSIFailureVariable);
  failedAdapterNamesAndDurations_.push_back(*adapterName);
  failedAdapterNamesAndDurations_.push_back(std::to_string(duration));
}
