// The process-wide rewarded video ad. The host loads it with a request and an ad unit
// id, waits for rewardBasedVideoAdDidReceiveAd, presents it, and hears
// rewardBasedVideoAdDidRewardUserWithReward once the user earned the reward:
//
//   auto rewarded = ZUMRewardBasedVideoAd::sharedInstance();
//   rewarded->setDelegate(delegate);
//   rewarded->loadRequest(ZUMRequest::create(), "unit-R");
//   ...
//   if (rewarded->isReady()) rewarded->presentFromRootViewController(root);
//
// The request goes through the SDK-core page like a slot's; a standard response plays
// in an internal interstitial, a mediation response runs the ad's own waterfall over
// rewarded connectors, one connector per adapter class, kept across loads
// (ZUMRewardBasedVideoAd+Waterfall.cpp). Until the first load it watches the
// application settings to set the rewarded adapters up early.
//
// The delegate is held weakly and read again for each callback. Main thread only:
// every report from the SDK-core page, the fetcher, the interstitial and the connectors
// reaches it there, and the host hears everything there.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ZUMInterstitialDelegate.h"
#include "ZUMRewardBasedVideoAdDelegate.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/mediation/ZUMMRewardBasedVideoAdConnectorDelegate.h"
#include "sdk/request/ZUMAdFetcherDelegate.h"
#include "sdk/request/ZUMSDKCoreControllerDelegate.h"

namespace platform {
class Timer;
class ViewController;
}  // namespace platform

class ZUMAd;
class ZUMAdUnitExposure;
class ZUMInterstitial;
class ZUMMAdNetworkConfig;
class ZUMMConfig;
class ZUMRequest;
class ZUMSlotStatistics;

class ZUMRewardBasedVideoAd final : public ZUMMRewardBasedVideoAdConnectorDelegate,
                                    public ZUMSDKCoreControllerDelegate,
                                    public ZUMAdFetcherDelegate,
                                    public ZUMInterstitialDelegate,
                                    public ZUMInterstitialRewardBasedVideoAdDelegate,
                                    public std::enable_shared_from_this<ZUMRewardBasedVideoAd> {
 public:
  using Json = nlohmann::ordered_json;
  using NetworkConfig = std::shared_ptr<ZUMMAdNetworkConfig>;

  // Made once (main thread), reset between tests.
  static std::shared_ptr<ZUMRewardBasedVideoAd> sharedInstance();
  // A rewarded ad of its own, apart from the shared one (the SDK's own mediation adapter
  // loads one per network attempt); it does not set adapters up early.
  static std::shared_ptr<ZUMRewardBasedVideoAd> create();
  ~ZUMRewardBasedVideoAd() override;
  ZUMRewardBasedVideoAd(const ZUMRewardBasedVideoAd&) = delete;
  ZUMRewardBasedVideoAd& operator=(const ZUMRewardBasedVideoAd&) = delete;

  // --- Public ---------------------------------------------------------------------------
  std::shared_ptr<ZUMRewardBasedVideoAdDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMRewardBasedVideoAdDelegate>& delegate) { delegate_ = delegate; }
  bool isReady() const { return ready_; }
  // The adapter class of the mediated network that filled.
  const std::optional<std::string>& adNetworkClassName() const { return adNetworkClassName_; }
  // Passed to the reward pings of mediated networks.
  const std::optional<std::string>& userIdentifier() const { return userIdentifier_; }
  void setUserIdentifier(std::optional<std::string> identifier) { userIdentifier_ = std::move(identifier); }
  // A load while another runs is refused with a log line.
  void loadRequest(const std::shared_ptr<ZUMRequest>& request, const std::string& adUnitID);
  // Shows the loaded ad once; nothing while loading or not ready. Ready stays set when
  // nothing could be shown.
  void presentFromRootViewController(const std::shared_ptr<platform::ViewController>& root);

  // --- For tests and the SDK's own parts --------------------------------------------------
  bool isRequestInProgress() const { return requestInProgress_; }
  bool isObservingApplicationConfiguration() const { return configurationObserver_ != nullptr; }
  const std::shared_ptr<ZUMInterstitial>& interstitial() const { return interstitial_; }
  const std::shared_ptr<ZUMSlotStatistics>& adStatistics() const { return adStatistics_; }
  // The network configs of the "rewarded" units of application settings, when the
  // settings were refreshed in this launch: every entry that makes a config whose
  // adapter class resolves, "id" "{TBD}" when it has none. Entries of another shape are
  // skipped.
  static std::vector<NetworkConfig> rewardedNetworkConfigsFromSettings(const Json& settings);
  // The connector of an adapter class, nullptr when there is none.
  std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnectorImpl> connectorForAdapterClass(const std::string& name) const;

  // --- ZUMSDKCoreControllerDelegate -------------------------------------------------------
  std::shared_ptr<ZUMCSITimeRecorder> adLoadActionTimeRecorder() override { return nullptr; }
  Json requestParameters() override;
  std::int64_t requestedAdType() override { return kRewardBasedVideoAdType; }
  void setRequestID(const std::string& requestID) override;
  void loadAdURLWithParameters(const Json& parameters) override;
  void loadAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<Json>& headers) override;
  void invalidJavaScriptRequest() override;
  void failedJavaScriptFile() override;
  void SDKCoreRequestDidFailWithError(const platform::ErrorPtr& error) override;

  // --- ZUMAdFetcherDelegate ---------------------------------------------------------------
  void adFetcherDidFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad) override;
  void adFetcherDidFailToFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad,
                                 const platform::ErrorPtr& error, std::int64_t responseCode) override;

  // --- The internal interstitial ----------------------------------------------------------
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial& ad, const ZUMRequestErrorPtr& error) override;
  ZUMImplemented interstitialWillPresentScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialWillDismissScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidDismissScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialWillLeaveApplication(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidReceiveAdClick(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidStartPlayingRewardBasedVideoAd(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidRewardUserWithReward(ZUMInterstitial& ad,
                                                     const std::shared_ptr<ZUMAdReward>& reward) override;

  // --- The connectors (ZUMRewardBasedVideoAd+Waterfall.cpp) -------------------------------
  void connectorDidSetUpRewardBasedVideoAd(Connector& connector) override;
  void connectorDidFailToSetUpRewardBasedVideoAdWithError(Connector& connector,
                                                          const platform::ErrorPtr& error) override;
  void connectorDidReceiveRewardBasedVideoAd(Connector& connector) override;
  void connectorDidFailToReceiveRewardBasedVideoAdWithError(Connector& connector,
                                                            const platform::ErrorPtr& error) override;
  void connectorDidReceiveClick(Connector& connector) override;
  void connectorDidRewardUserWithReward(Connector& connector, const std::shared_ptr<ZUMAdReward>& reward) override;
  void connectorDidOpenRewardBasedVideoAd(Connector& connector) override;
  void connectorDidStartPlayingRewardBasedVideoAd(Connector& connector) override;
  void connectorDidCloseRewardBasedVideoAd(Connector& connector) override;
  void connectorWillLeaveApplication(Connector& connector) override;

 private:
  static constexpr std::int64_t kRewardBasedVideoAdType = 2;
  using ConnectorPtr = std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnectorImpl>;

  ZUMRewardBasedVideoAd();
  // Loading (ZUMRewardBasedVideoAd.cpp).
  void fetchAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<Json>& headers);
  void loadAd(const std::shared_ptr<ZUMAd>& ad);
  void loadInterstitialWithAd(const std::shared_ptr<ZUMAd>& ad);
  void adLoadedSuccessfully();
  void failedToLoadAdWithError(const platform::ErrorPtr& error);
  bool isCurrentInterstitial(const ZUMInterstitial& ad) const { return interstitial_.get() == &ad; }
  using DelegateCall = std::function<void(ZUMRewardBasedVideoAdDelegate&, ZUMRewardBasedVideoAd&)>;
  // Calls `call` with the delegate, when there is one, on the main thread (at once there).
  void tellDelegate(DelegateCall call);
  void callDelegate(const DelegateCall& call);
  // The host's delegate hears the click when it takes clicks.
  void tellClick();
  // Early set-up from the application settings.
  void startObservingApplicationConfiguration();
  void stopObservingApplicationConfiguration();
  void setUpAdaptersFromApplicationConfiguration();
  std::vector<NetworkConfig> rewardedNetworkConfigsFromApplicationConfiguration() const;

  // The waterfall (ZUMRewardBasedVideoAd+Waterfall.cpp).
  void processMediationAd(const std::shared_ptr<ZUMAd>& ad);
  [[nodiscard]] std::optional<Json> decodedJSONResponseFromAd(const ZUMAd& ad, platform::ErrorPtr* error) const;
  // The mediation response's time-out per network, held within sane bounds.
  double adNetworkTimeout() const;
  void setUpAdaptersForAdNetworkConfigs();
  void setUpAdaptersForAdNetworkConfigsFromAppConfiguration(const std::vector<NetworkConfig>& configs);
  void startSetUp(const ConnectorPtr& connector, const std::string& className);
  void removeStaleConnectors();
  void buildPendingAdRequestConnectorsList();
  void makeNextAdRequest();
  void requestAdFromConnector(const ConnectorPtr& connector);
  void adRequestTimedOut(std::uint64_t attempt);
  void endAttempt();
  // Whether the connector still serves its adapter class (its set-up has not failed).
  bool isKnownConnector(const Connector& connector) const;
  bool isQueued(const Connector& connector) const;
  void presentMediatedRewardBasedVideoAdFromViewController(const std::shared_ptr<platform::ViewController>& root);
  void pingNoFillURLs();
  void resetFillStatus();
  void adapterDidFailToSetUpWithAllocationID(const std::optional<std::string>& allocationID);
  void connectorWillStartRequestingAd();
  void connectorDidReceiveAdStatistics(Connector& connector);
  void connectorDidFailToReceiveAdStatistics(Connector& connector, const platform::ErrorPtr& error);
  std::optional<std::string> allocationIDOf(const Connector& connector) const;

  std::shared_ptr<ZUMInterstitial> interstitial_;
  platform::NotificationCenter::Token configurationObserver_;
  bool ready_ = false;
  bool requestInProgress_ = false;
  std::unique_ptr<ZUMAdUnitExposure> adUnitExposure_;  // open between open and close of a mediated ad
  std::weak_ptr<ZUMRewardBasedVideoAdDelegate> delegate_;
  std::optional<std::string> adNetworkClassName_;
  std::optional<std::string> userIdentifier_;
  std::shared_ptr<ZUMRequest> request_;
  std::string adUnitID_;
  mutable std::mutex requestIDMutex_;  // the SDK-core controller sets the id on its queue
  std::optional<std::string> requestID_;
  std::shared_ptr<ZUMAdFetcher> adFetcher_;
  std::shared_ptr<const ZUMMConfig> mediationConfig_;
  std::vector<ConnectorPtr> pendingAdRequestConnectors_;
  std::vector<std::string> allocationIDs_;
  ConnectorPtr requestingConnector_;
  ConnectorPtr receivedConnector_;
  std::map<std::string, std::uint64_t> pendingSetUpConnectorsTimestamp_;
  std::map<std::string, ConnectorPtr> connectors_;
  std::shared_ptr<ZUMAd> ad_;
  std::shared_ptr<ZUMSlotStatistics> adStatistics_;
  // Each request to a network is one attempt; its time-out ends that attempt only.
  std::uint64_t attempt_ = 0;
  std::shared_ptr<platform::Timer> timeoutTimer_;
};
