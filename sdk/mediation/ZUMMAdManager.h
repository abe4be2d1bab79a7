// The mediation waterfall of one slot: a pass over a configuration's ad network
// entries, each asked through a fresh connector (made by the owner of the slot's ad)
// under a time-out, until one delivers an ad that the slot shows. It writes each
// network's exit code, fill state and duration into the slot statistics, sends one
// fill-or-no-fill ping per pass, and times the pass in the slot's "load_med" CSI
// recorder. The statistics reach the user defaults once per pass. The received
// connector outlives its pass, so that its network can refresh the banner by itself and
// presentation, size changes, clicks and impressions reach it.
//
// Networks are asked one after another from one loop: one that answers inside its own
// request never deepens the stack, however many entries the response names.
//
// Each network asked is one attempt with its own token: its time-out and its answers act
// only while it is the attempt in progress, so a late answer of a network that timed
// out, or a refresh of the received network while a newer network is asked, never ends
// or stops another attempt. Every pass ends: with an ad, code 9, code 8, or cancel().
//
// Holds the slot weakly and its connectors strongly (they hold it weakly). Main thread
// only; connectors' answers and cancel() from other threads hop to the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/mediation/ZUMMConnectorDelegate.h"
#include "sdk/mediation/ZUMMSlotDelegate.h"

class ZUMCSITimeRecorder;
class ZUMMAdNetworkConfig;

namespace platform {
class Timer;
}

// The CSI action of a pass and its names.
inline constexpr const char* kZUMMCSIActionLoadMediation = "load_med";
inline constexpr const char* kZUMMCSISuccessVariable = "mls";
inline constexpr const char* kZUMMCSIFailureVariable = "mlf";
inline constexpr const char* kZUMMCSINetworkSucceedParameter = "mediation_network_succeed";
inline constexpr const char* kZUMMCSINetworksFailParameter = "mediation_networks_fail";
// The tolerance of a network's time-out timer, in seconds.
inline constexpr double kZUMMNetworkTimeoutTolerance = 0.01;
// The longest time-out a network gets, in seconds (about 31 years): a larger one, from
// a server or the user defaults, would push the timer's date past what clocks hold.
inline constexpr double kZUMMMaximumNetworkTimeout = 1e9;

// What the slot statistics get for each network tried.
enum class ZUMMExitCode : std::int64_t { kFilled = 0, kNoFill = 1, kError = 2, kTimeout = 3, kNoAdapter = 4 };
enum class ZUMMFillState : std::int64_t {
  kFilled = 0,
  kNoFill = 1,
  kTimeout = 2,
  kNoAdapter = 3,
  kCancelled = 4,
  kError = 6
};

class ZUMMAdManager final : public ZUMMSlotDelegate,
                            public ZUMMConnectorDelegate,
                            public std::enable_shared_from_this<ZUMMAdManager> {
 public:
  // The waterfall of `slot` (held weakly).
  static std::shared_ptr<ZUMMAdManager> create(const std::shared_ptr<ZUMSlot>& slot);
  // Lets go of both connectors.
  ~ZUMMAdManager() override;
  ZUMMAdManager(const ZUMMAdManager&) = delete;
  ZUMMAdManager& operator=(const ZUMMAdManager&) = delete;

  // --- ZUMMSlotDelegate ------------------------------------------------------------------
  // Stores both; starts a pass unless one runs (which then goes on with them).
  void mediateForAdType(const std::shared_ptr<ZUMAdType>& adType,
                        const std::shared_ptr<const ZUMMConfig>& config) override;
  bool changeAdTypeTo(const std::shared_ptr<ZUMAdType>& adType) override;
  void presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>& controller) override;
  // Stops the pass: no further network, both adapters stop reporting; a network still
  // asked before the fill ping gets fill state 4 and the no-fill ping goes. Any thread.
  void cancel();
  // Work queued for later (a hop to the main thread, the time-out) does nothing.
  void cancelPendingActions();
  // `connector`, filled by another slot's waterfall, becomes this one's received network
  // and reports here. The waterfall it leaves may still hold it, but never stops it.
  void adoptReceivedConnector(const std::shared_ptr<Connector>& connector);

  // --- ZUMMConnectorDelegate -------------------------------------------------------------
  void adRequestReturnsFromConnectorWithView(Connector& connector,
                                             const std::shared_ptr<platform::View>& view) override;
  void adRequestReturnsFromConnectorWithInterstitial(Connector& connector,
                                                     const std::shared_ptr<void>& interstitial) override;
  void adRequestReturnsFromConnectorWithMediatedAd(Connector& connector,
                                                   const std::shared_ptr<ZUMMediatedAd>& mediatedAd) override;
  void adRequestFailedFromConnectorWithError(Connector& connector, const platform::ErrorPtr& error) override;
  bool connectorShouldReturnMediatedAd(Connector& connector) override;
  std::shared_ptr<ZUMSlot> slot() const override { return slot_.lock(); }

  // --- State -----------------------------------------------------------------------------
  bool requestInProgress() const { return requestInProgress_; }
  const std::shared_ptr<const ZUMMConfig>& config() const { return config_; }
  const std::shared_ptr<ZUMAdType>& adType() const { return adType_; }
  // The network asked now (it stays set after a banner fill).
  const std::shared_ptr<Connector>& requestingConnector() const { return requestingConnector_; }
  // The network whose ad is shown.
  const std::shared_ptr<Connector>& receivedConnector() const { return receivedConnector_; }
  const std::shared_ptr<void>& lastMediatedInterstitial() const { return lastMediatedInterstitial_; }
  bool hasTimeoutTimer() const { return adNetworkTimeoutTimer_ != nullptr; }

 private:
  // Whose answer it is: the attempt in progress, the received network by itself, or
  // neither (a stale answer, dropped).
  enum class Sender { kAttempt, kReceived, kStale };

  explicit ZUMMAdManager(const std::shared_ptr<ZUMSlot>& slot) : slot_(slot) {}

  // Asks the next network, or ends the pass; main thread, or hops there.
  void makeAdRequest();
  void askNextNetwork();
  std::shared_ptr<ZUMMAdNetworkConfig> dequeueAdNetworkConfig();
  // No further network: the no-fill ping and `code` to the slot.
  void endPass(std::int64_t code);
  // The entry's time-out, made safe for the timer.
  double timeoutForNextAttempt() const;
  void startTimeoutTimer();
  void invalidateTimer();
  void adNetworkTimeoutHandler(std::uint64_t attempt);
  // Classifies the answer; an attempt's answer stops its timer and ends the request.
  Sender shouldProcessResponseFromConnector(const Connector& connector);
  void resetRequestingState();
  // The waterfall lets go of a connector that is not the received one.
  void detach(Connector& connector);
  // Whether `connector` reports to this waterfall (not handed over to another slot's).
  bool reportsHere(const Connector& connector) const;
  // `connector` becomes the received network; the earlier one is let go.
  void receive(const std::shared_ptr<Connector>& connector);
  // Sends the fill ping through the received connector once per pass; whether it was
  // already sent before.
  bool sendFillPingOnce();
  void showView(const std::shared_ptr<platform::View>& view);
  void acceptInterstitial(const std::shared_ptr<void>& interstitial);
  void mediatedAdProcessed(const std::shared_ptr<Connector>& connector, std::uint64_t attempt,
                           const platform::ErrorPtr& error);
  void recordExit(ZUMMExitCode code);
  void recordFill(ZUMMFillState state, const std::shared_ptr<ZUMMAdNetworkConfig>& entry);
  void reportNoFill();
  // The attempt's entry (nullptr when no attempt was made).
  std::shared_ptr<ZUMMAdNetworkConfig> attemptEntry() const { return attemptEntry_; }

  // --- CSI -------------------------------------------------------------------------------
  std::shared_ptr<ZUMCSITimeRecorder> recorder() const;
  void startCSITiming();
  void CSITimingSucceeded(const std::optional<std::string>& adapterName);
  void CSITimingFailed(const std::optional<std::string>& adapterName);

  std::weak_ptr<ZUMSlot> slot_;
  std::shared_ptr<const ZUMMConfig> config_;
  std::shared_ptr<ZUMAdType> adType_;
  std::vector<std::shared_ptr<ZUMMAdNetworkConfig>> adNetworkConfigQueue_;
  std::shared_ptr<Connector> requestingConnector_;
  std::shared_ptr<Connector> receivedConnector_;
  // The entry of the attempt in progress (or of the last one).
  std::shared_ptr<ZUMMAdNetworkConfig> attemptEntry_;
  std::shared_ptr<void> lastMediatedInterstitial_;
  std::shared_ptr<platform::Timer> adNetworkTimeoutTimer_;
  std::int64_t pendingActionGroup_ = 0;
  // The token of the attempt in progress; each attempt takes the next.
  std::uint64_t attempt_ = 0;
  std::vector<std::string> failedAdapterNamesAndDurations_;
  // Holds the slot statistics' saves from the start of a pass to its fill or no-fill
  // ping: one save per pass, however many networks it tries.
  std::unique_ptr<ZUMSlotStatistics::SaveHold> statisticsHold_;
  bool requestInProgress_ = false;
  bool fillStatusPingsSent_ = false;
  // makeAdRequest() is asking a network; a request for the next one made meanwhile
  // waits in nextNetworkGroup_ (the action group it was made in).
  bool askingNetwork_ = false;
  std::optional<std::int64_t> nextNetworkGroup_;
};
