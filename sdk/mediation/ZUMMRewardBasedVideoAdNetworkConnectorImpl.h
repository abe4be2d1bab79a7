// The SDK's rewarded connector: it stands between the rewarded video ad's waterfall and
// one rewarded adapter of another ad network. The rewarded ad fills in its properties
// and asks it to set the adapter up, request and present; the connector answers the
// adapter's questions about the request, relays the adapter's reports to its delegate
// and sends the mediation pings (fill, click, impression, video start, reward).
//
// The connector owns its adapter; the adapter holds the connector weakly, and the
// delegate (the rewarded ad) is held weakly too. Main thread only, but for the
// adapter's reports, which may come on any thread: each is moved to the main thread
// before the connector acts on it or tells its delegate.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMMRewardBasedVideoAdNetworkConnector.h"
#include "sdk/mediation/ZUMMRequestAnswers.h"

namespace platform {
class ViewController;
}

class ZUMAd;
class ZUMMAdNetworkConfig;
class ZUMMConfig;
class ZUMMRewardBasedVideoAdConnectorDelegate;
class ZUMRequest;

class ZUMMRewardBasedVideoAdNetworkConnectorImpl final
    : public ZUMMRewardBasedVideoAdNetworkConnector,
      public ZUMMRequestAnswers,
      public std::enable_shared_from_this<ZUMMRewardBasedVideoAdNetworkConnectorImpl> {
 public:
  using Json = nlohmann::ordered_json;
  using NetworkConfig = std::shared_ptr<ZUMMAdNetworkConfig>;

  static std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnectorImpl> create();
  ~ZUMMRewardBasedVideoAdNetworkConnectorImpl() override;

  // --- Filled in by the rewarded ad -----------------------------------------------------
  const std::shared_ptr<const ZUMMConfig>& mediationConfig() const { return mediationConfig_; }
  void setMediationConfig(std::shared_ptr<const ZUMMConfig> config) { mediationConfig_ = std::move(config); }
  const NetworkConfig& adNetworkConfig() const { return adNetworkConfig_; }
  // Accepted when none is set yet or `config` has the same adapter class; otherwise the
  // first stays.
  void setAdNetworkConfig(const NetworkConfig& config);
  const std::vector<NetworkConfig>& adNetworkConfigsFromAppConfiguration() const { return appConfigs_; }
  void setAdNetworkConfigsFromAppConfiguration(std::vector<NetworkConfig> configs) { appConfigs_ = std::move(configs); }
  const std::shared_ptr<ZUMAd>& ad() const { return ad_; }
  void setAd(std::shared_ptr<ZUMAd> ad) { ad_ = std::move(ad); }
  std::shared_ptr<ZUMMRewardBasedVideoAdConnectorDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMMRewardBasedVideoAdConnectorDelegate>& delegate) { delegate_ = delegate; }
  // Keeps a copy.
  void setRequest(const std::shared_ptr<ZUMRequest>& request);
  const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkAdapter>& adapter() const { return adapter_; }

  // --- Driven by the rewarded ad ----------------------------------------------------------
  // Makes the adapter (from the one config, else from the list) and sets it up; the
  // delegate hears the outcome. Code 7 at once without a config or a usable adapter.
  void setUpAdapter();
  void requestRewardBasedVideoAd();
  // Pings the impression URLs, then asks the adapter to present.
  void presentRewardBasedVideoAdFromRootViewController(const std::shared_ptr<platform::ViewController>& root);
  void pingFillURLsWithFillStatus(const std::string& fillStatus);
  // Fills the reward macros of each reward template and pings the results. The user
  // identifier is percent-encoded for the query; none fills "".
  void pingRewardedUserURLsWithReward(const ZUMAdReward& reward, const std::optional<std::string>& userIdentifier);
  void askAdapterToStopBeingDelegate();

  // --- Answers (ZUMMRequestAnswers): the one config, else the first of the list ---------
  // The adapter class of the one config, else of the first of the list; "" for none.
  std::string currentAdapterName() const override;

  // --- ZUMMRewardBasedVideoAdNetworkConnector (the adapter's reports) ----------------------
  void adapterDidSetUpRewardBasedVideoAd(Adapter& adapter) override;
  void adapterDidFailToSetUpRewardBasedVideoAdWithError(Adapter& adapter, const platform::ErrorPtr& error) override;
  void adapterDidGetAdClick(Adapter& adapter) override;
  void adapterDidReceiveRewardBasedVideoAd(Adapter& adapter) override;
  void adapterDidOpenRewardBasedVideoAd(Adapter& adapter) override;
  void adapterDidStartPlayingRewardBasedVideoAd(Adapter& adapter) override;
  void adapterDidCloseRewardBasedVideoAd(Adapter& adapter) override;
  void adapterDidRewardUserWithReward(Adapter& adapter, const std::shared_ptr<ZUMAdReward>& reward) override;
  void adapterWillLeaveApplication(Adapter& adapter) override;
  void adapterDidFailToLoadRewardBasedVideoAdwithError(Adapter& adapter, const platform::ErrorPtr& error) override;

 private:
  using Relay =
      std::function<void(ZUMMRewardBasedVideoAdNetworkConnectorImpl&, ZUMMRewardBasedVideoAdConnectorDelegate&)>;

  ZUMMRewardBasedVideoAdNetworkConnectorImpl() = default;
  std::shared_ptr<ZUMRequest> answeredRequest() const override { return request_; }
  const ZUMMAdNetworkConfig* answeredNetworkConfig() const override { return pingConfig(); }
  const ZUMMConfig* answeredMediationConfig() const override { return mediationConfig_.get(); }
  void setUpWithAdNetworkConfig();
  void setUpWithMultipleAdNetworkConfigs();
  void failSetUp(const std::string& description);
  // The config the pings and answers speak for: the one config, else the first of the list.
  const ZUMMAdNetworkConfig* pingConfig() const;
  // On the main thread, while `adapter` is still this connector's: `relay`.
  void relay(const Adapter& adapter, Relay relay);
  void pingURLs(const std::optional<std::vector<std::string>>& templates, std::optional<std::string> defaultTemplate,
                std::optional<std::string> fillStatus, std::optional<std::string> eventType) const;
  void pingClickOrImpressionURLs(bool click) const;

  std::shared_ptr<ZUMMRewardBasedVideoAdNetworkAdapter> adapter_;
  std::string adapterClassName_;
  std::shared_ptr<const ZUMMConfig> mediationConfig_;
  NetworkConfig adNetworkConfig_;
  std::vector<NetworkConfig> appConfigs_;
  std::shared_ptr<ZUMAd> ad_;
  std::weak_ptr<ZUMMRewardBasedVideoAdConnectorDelegate> delegate_;
  std::shared_ptr<ZUMRequest> request_;
};
