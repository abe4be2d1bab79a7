#include "sdk/mediation/ZUMMRewardBasedVideoAdNetworkConnectorImpl.h"

#include <cstdio>
#include <utility>

#include "ZUMAdReward.h"
#include "ZUMMAdapterClass.h"
#include "ZUMMRewardBasedVideoAdNetworkAdapter.h"
#include "ZUMRequest.h"
#include "platform/base/ClassRegistry.h"
#include "platform/base/Clock.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMMacros.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMRewardBasedVideoAdConnectorDelegate.h"
#include "sdk/mediation/ZUMMUtilities.h"
#include "sdk/network/ZUMClickTrackerCollection.h"

namespace {

using Json = nlohmann::ordered_json;
using Delegate = ZUMMRewardBasedVideoAdConnectorDelegate;

constexpr const char* kSetUpOperation = "setUp";
constexpr const char* kNoConfigText = "No network config to initialize adapter.";
constexpr const char* kNoAdapterText = "Couldn't instantiate adapter. Adapter class empty or invalid.";

platform::ClassRegistry& registry() { return platform::ClassRegistry::shared(); }

// The response's templates then the entry's; an empty list counts as none, so the
// default goes out.
std::optional<std::vector<std::string>> joined(const std::optional<std::vector<std::string>>& first,
                                               const std::optional<std::vector<std::string>>& second) {
  auto all = ZUMMUtilities::joinedTemplates(first, second);
  if (all && all->empty()) return std::nullopt;
  return all;
}

}  // namespace

std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnectorImpl> ZUMMRewardBasedVideoAdNetworkConnectorImpl::create() {
  return std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnectorImpl>(new ZUMMRewardBasedVideoAdNetworkConnectorImpl());
}

ZUMMRewardBasedVideoAdNetworkConnectorImpl::~ZUMMRewardBasedVideoAdNetworkConnectorImpl() = default;

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::setAdNetworkConfig(const NetworkConfig& config) {
  if (!config) return;
  if (adNetworkConfig_ && adNetworkConfig_->adapterClass() != config->adapterClass()) return;
  adNetworkConfig_ = config;
  takeCredentialsOf(config.get());
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::setRequest(const std::shared_ptr<ZUMRequest>& request) {
  request_ = request ? request->copy() : nullptr;
}

// --- Set-up --------------------------------------------------------------------------------

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::setUpAdapter() {
  platform::assertMainThread();
  if (adNetworkConfig_) {
    setUpWithAdNetworkConfig();
  } else if (!appConfigs_.empty()) {
    setUpWithMultipleAdNetworkConfigs();
  } else {
    return failSetUp(kNoConfigText);
  }
  if (!adapter_) return failSetUp(kNoAdapterText);
  // Every rewarded adapter answers setUp; a class that declares only the older
  // setUpWithUserID: gets that, with no user.
  if (!registry().instancesRespondToOperation(adapterClassName_, kSetUpOperation) &&
      registry().instancesRespondToOperation(adapterClassName_, kZUMMSetUpWithUserIDOperation)) {
    (void)adapter_->setUpWithUserID("");
  } else {
    adapter_->setUp();
  }
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::setUpWithAdNetworkConfig() {
  if (adapter_ || !ZUMResolveAdapterClass(*adNetworkConfig_)) return;
  adapterClassName_ = *adNetworkConfig_->adapterClass();
  auto classObject = ZUMMAdapterClassNamed(adapterClassName_);
  // Only the rewarded initialiser makes a rewarded adapter: the banner and interstitial
  // one takes another kind of connector.
  if (classObject && registry().hasInitialiser(adapterClassName_, kZUMMInitWithRewardBasedVideoAdNetworkConnector)) {
    adapter_ = classObject->initWithRewardBasedVideoAdNetworkConnector(shared_from_this());
  }
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::setUpWithMultipleAdNetworkConfigs() {
  Json credentialsList = Json::array();
  std::optional<std::string> firstClass;
  for (const auto& config : appConfigs_) {
    if (!config || !ZUMResolveAdapterClass(*config) || !config->credentials()) continue;
    credentialsList.push_back(*config->credentials());
    if (!firstClass) firstClass = config->adapterClass();
  }
  if (adapter_ || !firstClass) return;
  adapterClassName_ = *firstClass;
  auto classObject = ZUMMAdapterClassNamed(adapterClassName_);
  if (classObject &&
      registry().hasInitialiser(adapterClassName_, kZUMMInitWithRewardBasedVideoAdNetworkConnectorCredentials)) {
    adapter_ = classObject->initWithRewardBasedVideoAdNetworkConnector(shared_from_this(), credentialsList);
  }
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::failSetUp(const std::string& description) {
  if (auto delegate = this->delegate()) {
    delegate->connectorDidFailToSetUpRewardBasedVideoAdWithError(
        *this, ZUMMakeErrorWithDescription(kZUMErrorInvalidMediationResponse, description));
  }
}

// --- Driven by the rewarded ad ---------------------------------------------------------------

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::requestRewardBasedVideoAd() {
  platform::assertMainThread();
  if (adapter_) adapter_->requestRewardBasedVideoAd();
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::presentRewardBasedVideoAdFromRootViewController(
    const std::shared_ptr<platform::ViewController>& root) {
  platform::assertMainThread();
  pingClickOrImpressionURLs(false);
  if (adapter_) adapter_->presentRewardBasedVideoAdWithRootViewController(root);
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::askAdapterToStopBeingDelegate() {
  if (adapter_) adapter_->stopBeingDelegate();
}

// --- Pings ---------------------------------------------------------------------------------

const ZUMMAdNetworkConfig* ZUMMRewardBasedVideoAdNetworkConnectorImpl::pingConfig() const {
  if (adNetworkConfig_) return adNetworkConfig_.get();
  return appConfigs_.empty() ? nullptr : appConfigs_.front().get();
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::pingURLs(const std::optional<std::vector<std::string>>& templates,
                                                          std::optional<std::string> defaultTemplate,
                                                          std::optional<std::string> fillStatus,
                                                          std::optional<std::string> eventType) const {
  // Without templates and without a default there is nothing to send.
  if (!templates && !defaultTemplate) return;
  ZUMMediationPing ping = ZUMMUtilities::pingForEntry(mediationConfig_.get(), pingConfig());
  ping.templates = templates;
  ping.defaultTemplate = std::move(defaultTemplate);
  ping.fillStatus = std::move(fillStatus);
  ping.eventType = std::move(eventType);
  ZUMClickTrackerCollection::sharedInstance()->trackMediationURLsFromTemplates(ping);
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::pingClickOrImpressionURLs(bool click) const {
  const ZUMMAdNetworkConfig* config = pingConfig();
  using Templates = ZUMMConfig::Templates;
  const Templates& global =
      mediationConfig_ ? (click ? mediationConfig_->clickURLs() : mediationConfig_->impressionURLs()) : Templates{};
  const Templates& own = config ? (click ? config->clickURLs() : config->impressionURLs()) : Templates{};
  pingURLs(joined(global, own),
           click ? ZUMMUtilities::defaultClickTemplate() : ZUMMUtilities::defaultImpressionTemplate(), std::nullopt,
           click ? "_ac" : "_ai");
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::pingFillURLsWithFillStatus(const std::string& fillStatus) {
  if (const auto* config = pingConfig()) pingURLs(config->fillURLs(), std::nullopt, fillStatus, std::nullopt);
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::pingRewardedUserURLsWithReward(
    const ZUMAdReward& reward, const std::optional<std::string>& userIdentifier) {
  const auto* config = pingConfig();
  if (!config || !config->rewardedUserURLs()) return;
  // The host's identifier may hold any character: as written it could add or end query
  // parameters of the server's URL.
  const std::string user = ZUMPercentEncodedString(userIdentifier.value_or(""));
  char timestamp[64];
  std::snprintf(timestamp, sizeof timestamp, "%lf", platform::clock().wallNow());
  const std::string amount = reward.amount().stringValue();
  std::vector<std::string> urls;
  for (std::string url : *config->rewardedUserURLs()) {
    ZUMReplaceMacro(url, "pw_rwd_userid", user);
    ZUMReplaceMacro(url, "pw_tmstmp", timestamp);
    ZUMReplaceMacro(url, "pw_rwd_itm", reward.type());
    ZUMReplaceMacro(url, "pw_rwd_amt", amount);
    urls.push_back(std::move(url));
  }
  pingURLs(urls, std::nullopt, std::nullopt, std::nullopt);
}

// --- Answers to the adapter -------------------------------------------------------------------

std::string ZUMMRewardBasedVideoAdNetworkConnectorImpl::currentAdapterName() const {
  const auto* config = pingConfig();
  return config && config->adapterClass() ? *config->adapterClass() : std::string();
}

// --- The adapter's reports ---------------------------------------------------------------------

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::relay(const Adapter& adapter, Relay relay) {
  std::weak_ptr<ZUMMRewardBasedVideoAdNetworkConnectorImpl> weak = weak_from_this();
  ZUMRunOnMainThread([weak, from = &adapter, relay = std::move(relay)] {
    auto self = weak.lock();
    // A report of an adapter this connector let go of (or never made) is stale.
    if (!self || self->adapter_.get() != from) return;
    if (auto delegate = self->delegate()) relay(*self, *delegate);
  });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterDidSetUpRewardBasedVideoAd(Adapter& adapter) {
  relay(adapter, [](auto& self, Delegate& d) { d.connectorDidSetUpRewardBasedVideoAd(self); });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterDidFailToSetUpRewardBasedVideoAdWithError(
    Adapter& adapter, const platform::ErrorPtr& error) {
  relay(adapter,
        [error](auto& self, Delegate& d) { d.connectorDidFailToSetUpRewardBasedVideoAdWithError(self, error); });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterDidGetAdClick(Adapter& adapter) {
  relay(adapter, [](auto& self, Delegate& d) {
    self.pingClickOrImpressionURLs(true);
    d.connectorDidReceiveClick(self);
  });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterDidReceiveRewardBasedVideoAd(Adapter& adapter) {
  relay(adapter, [](auto& self, Delegate& d) { d.connectorDidReceiveRewardBasedVideoAd(self); });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterDidOpenRewardBasedVideoAd(Adapter& adapter) {
  relay(adapter, [](auto& self, Delegate& d) { d.connectorDidOpenRewardBasedVideoAd(self); });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterDidStartPlayingRewardBasedVideoAd(Adapter& adapter) {
  relay(adapter, [](auto& self, Delegate& d) {
    if (const auto* config = self.pingConfig()) {
      self.pingURLs(config->videoStartURLs(), std::nullopt, std::nullopt, std::nullopt);
    }
    d.connectorDidStartPlayingRewardBasedVideoAd(self);
  });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterDidCloseRewardBasedVideoAd(Adapter& adapter) {
  relay(adapter, [](auto& self, Delegate& d) { d.connectorDidCloseRewardBasedVideoAd(self); });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterDidRewardUserWithReward(
    Adapter& adapter, const std::shared_ptr<ZUMAdReward>& reward) {
  relay(adapter, [reward](auto& self, Delegate& d) { d.connectorDidRewardUserWithReward(self, reward); });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterWillLeaveApplication(Adapter& adapter) {
  relay(adapter, [](auto& self, Delegate& d) { d.connectorWillLeaveApplication(self); });
}

void ZUMMRewardBasedVideoAdNetworkConnectorImpl::adapterDidFailToLoadRewardBasedVideoAdwithError(
    Adapter& adapter, const platform::ErrorPtr& error) {
  relay(adapter,
        [error](auto& self, Delegate& d) { d.connectorDidFailToReceiveRewardBasedVideoAdWithError(self, error); });
}
