#include "sdk/formats/ZUMMAdapterVantorMorvaneAds.h"

#include <nlohmann/json.hpp>

#include "PXRBannerView.h"
#include "PXRBannerViewOptions.h"
#include "ZUMAdLoader.h"
#include "ZUMBannerView.h"
#include "ZUMExtras.h"
#include "ZUMInterstitial.h"
#include "ZUMMAdNetworkConnector.h"
#include "ZUMMAdapterClass.h"
#include "ZUMMRewardBasedVideoAdNetworkConnector.h"
#include "ZUMMediatedNativeAd.h"
#include "ZUMNativeAppInstallAd.h"
#include "ZUMNativeContentAd.h"
#include "ZUMRequest.h"
#include "ZUMRewardBasedVideoAd.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/Symbols.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMRequestFromMediation.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMLoadable.h"
#include "sdk/request/ZUMSlot.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr const char* kAdSizeKey = "ad_size";
constexpr const char* kManualImpressionURLsKey = "manual_impression_urls";
constexpr const char* kCustomTemplateIDsKey = "custom_template_ids";

struct AdapterClass final : ZUMMAdapterClass {
  std::optional<std::string> adapterVersion() const override { return ZUMRequest::sdkVersion(); }
  std::optional<std::string> networkExtrasClass() const override { return ZUMExtras::kClassName; }
  std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& connector) const override {
    return ZUMMAdapterVantorMorvaneAds::create(connector);
  }
  std::shared_ptr<ZUMMRewardBasedVideoAdNetworkAdapter> initWithRewardBasedVideoAdNetworkConnector(
      const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& connector) const override {
    return ZUMMAdapterVantorMorvaneAds::create(connector);
  }
};

std::string describeAdTypes(const std::vector<std::string>& adTypes) {
  std::string text = "(";
  for (const auto& type : adTypes) text += (text.size() > 1 ? ", " : "") + type;
  return text + ")";
}

}  // namespace

std::shared_ptr<ZUMMAdapterVantorMorvaneAds> ZUMMAdapterVantorMorvaneAds::create(
    const std::shared_ptr<ZUMMAdNetworkConnector>& connector) {
  std::shared_ptr<ZUMMAdapterVantorMorvaneAds> adapter(new ZUMMAdapterVantorMorvaneAds());
  adapter->connector_ = connector;
  return adapter;
}

std::shared_ptr<ZUMMAdapterVantorMorvaneAds> ZUMMAdapterVantorMorvaneAds::create(
    const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& connector) {
  std::shared_ptr<ZUMMAdapterVantorMorvaneAds> adapter(new ZUMMAdapterVantorMorvaneAds());
  adapter->rewardBasedVideoAdNetworkConnector_ = connector;
  return adapter;
}

ZUMMAdapterVantorMorvaneAds::~ZUMMAdapterVantorMorvaneAds() { stopBeingDelegate(); }

void ZUMMAdapterVantorMorvaneAds::registerClass() {
  ZUMMRegisterAdapterClass(
      kZUMFirstPartyAdapterClassName, std::make_shared<AdapterClass>(),
      {.protocols = {kZUMMAdNetworkAdapterProtocol, kZUMMRewardBasedVideoAdNetworkAdapterProtocol},
       .operations = {kZUMMGetBannerWithSizeOperation, kZUMMGetInterstitialOperation, kZUMMGetNativeAdOperation,
                      kZUMMHandlesUserClicksOperation, kZUMMHandlesUserImpressionsOperation,
                      kZUMMChangeAdSizeOperation},
       .classOperations = {kZUMMAdapterVersionOperation, kZUMMNetworkExtrasClassOperation},
       .initialisers = {kZUMMInitWithAdNetworkConnector, kZUMMInitWithRewardBasedVideoAdNetworkConnector}});
}

void ZUMMAdapterVantorMorvaneAds::fail(const std::string& description) {
  if (auto connector = connector_.lock()) {
    connector->adapterDidFailAd(*this, ZUMMakeErrorWithDescription(kZUMErrorInternalError, description));
  }
}

template <class Call>
ZUMImplemented ZUMMAdapterVantorMorvaneAds::relay(Call call) {
  if (auto connector = connector_.lock()) call(*connector);
  return kZUMImplemented;
}

template <class Call>
ZUMImplemented ZUMMAdapterVantorMorvaneAds::relayRewarded(Call call) {
  if (auto connector = rewardBasedVideoAdNetworkConnector_.lock()) call(*connector);
  return kZUMImplemented;
}

// --- Banner --------------------------------------------------------------------------------

ZUMAdSize ZUMMAdapterVantorMorvaneAds::bannerSize(const ZUMAdSize& requested) const {
  auto connector = std::dynamic_pointer_cast<ZUMMAdNetworkConnectorImpl>(connector_.lock());
  auto entry = connector ? connector->networkConfig() : nullptr;
  const Json* inlined = entry ? entry->ad() : nullptr;
  if (!inlined) return requested;
  platform::Size size = ZUMAdSizeFromString(ZUMJSONStringForKey(*inlined, kAdSizeKey));
  if (size.width == 0 && size.height == 0 && connector->mediationConfig()) {
    size = ZUMAdSizeFromString(connector->mediationConfig()->defaultAdSize());
  }
  if (size.width == 0 && size.height == 0) return requested;
  return ZUMAdSizeFromSize(size);
}

bool ZUMMAdapterVantorMorvaneAds::wantsPublisherBanner() const {
  auto connector = std::dynamic_pointer_cast<ZUMMAdNetworkConnectorImpl>(connector_.lock());
  if (!connector) return false;
  const auto& configuration = connector->adLoaderConfiguration();
  if (configuration && configuration->adConfiguration() &&
      configuration->adConfiguration()->option<PXRBannerViewOptions>()) {
    return true;
  }
  auto entry = connector->networkConfig();
  const Json* inlined = entry ? entry->ad() : nullptr;
  const Json* urls = inlined ? ZUMJSONValueForKey(*inlined, kManualImpressionURLsKey) : nullptr;
  return urls && !urls->is_null();
}

void ZUMMAdapterVantorMorvaneAds::observeManualImpressions(const std::shared_ptr<ZUMBannerView>& banner) {
  auto connector = connector_.lock();
  if (!connector) return;
  auto& center = platform::NotificationCenter::defaultCenter();
  if (manualImpressionObserver_) center.removeObserver(manualImpressionObserver_);  // an earlier banner's
  std::weak_ptr<PXRBannerView> weakBanner = std::dynamic_pointer_cast<PXRBannerView>(banner);
  manualImpressionObserver_ =
      center.addObserver(kZUMMAdNetworkConnectorDidRecordManualImpressionNotification, connector,
                         platform::OperationQueue::main(), [weakBanner](const platform::Notification&) {
                           if (auto publisherBanner = weakBanner.lock()) publisherBanner->recordImpression();
                         });
}

void ZUMMAdapterVantorMorvaneAds::getBannerWithSize(const ZUMAdSize& size) {
  platform::assertMainThread();
  auto connector = connector_.lock();
  if (!connector) return;
  auto request = ZUMRequestWithMediationAdRequest(*connector);
  const ZUMAdSize adSize = bannerSize(size);
  if (wantsPublisherBanner()) {
    auto publisherBanner = PXRBannerView::create(adSize);
    publisherBanner->setAppEventDelegate(shared_from_this());
    bannerView_ = publisherBanner;
    observeManualImpressions(bannerView_);
  } else {
    bannerView_ = ZUMBannerView::create(adSize);
  }
  bannerView_->setMediated();
  bannerView_->setDelegate(shared_from_this());
  bannerView_->slot()->setReloadable(false);
  bannerView_->setAdUnitID(connector->publisherId().value_or(""));
  bannerView_->setRootViewController(connector->viewControllerForPresentingModalView());
  bannerView_->loadRequest(request);
}

bool ZUMMAdapterVantorMorvaneAds::changeAdSizeTo(const ZUMAdSize& size) {
  if (bannerView_) bannerView_->setAdSize(size);
  return true;
}

// --- Interstitial ----------------------------------------------------------------------------

void ZUMMAdapterVantorMorvaneAds::getInterstitial() {
  platform::assertMainThread();
  auto connector = connector_.lock();
  if (!connector) return;
  interstitial_ = ZUMInterstitial::create(connector->publisherId().value_or(""));
  interstitial_->setMediated();
  interstitial_->setDelegate(shared_from_this());
  interstitial_->createSlot();
  interstitial_->loadRequest(ZUMRequestWithMediationAdRequest(*connector));
}

void ZUMMAdapterVantorMorvaneAds::presentInterstitialFromRootViewController(
    const std::shared_ptr<platform::ViewController>& controller) {
  if (interstitial_) interstitial_->presentFromRootViewController(controller);
}

// --- Native --------------------------------------------------------------------------------

bool ZUMMAdapterVantorMorvaneAds::getNativeAdWithAdTypes(const std::vector<std::string>& adTypes,
                                                         const std::vector<std::any>& options) {
  platform::assertMainThread();
  auto connector = connector_.lock();
  if (!connector) return true;
  if (!std::dynamic_pointer_cast<ZUMMAdNetworkConnectorNativeAd>(connector)) {
    const ZUMMAdNetworkConnector& given = *connector;
    fail("Connector used " + platform::demangledSymbol(typeid(given).name()) +
         " isn't a valid connector for requesting native ad");
    return true;
  }
  std::vector<std::string> served;
  for (const auto& type : adTypes) {
    auto adClass = ZUMNativeAdClassForAdLoaderAdType(type);
    if (adClass && adClass->object && adClass->object->delegateConformsToRequiredProtocol(*this)) {
      served.push_back(type);
    }
  }
  if (served.empty()) {
    fail(std::string(kZUMFirstPartyAdapterClassName) + " can't handle any of the requested ad types. " +
         describeAdTypes(adTypes));
    return true;
  }
  ZUMAdConfiguration::Options loaderOptions;
  for (const auto& option : options) {
    if (const auto* given = std::any_cast<std::shared_ptr<ZUMAdLoaderOptions>>(&option))
      loaderOptions.push_back(*given);
  }
  adLoader_ = ZUMAdLoader::create(connector->publisherId().value_or(""),
                                  connector->viewControllerForPresentingModalView(), served, loaderOptions);
  adLoader_->setDelegate(shared_from_this());
  adLoader_->loadRequest(ZUMRequestWithMediationAdRequest(*connector));
  return true;
}

void ZUMMAdapterVantorMorvaneAds::adLoaderDidReceiveNativeAd(ZUMAdLoader& loader,
                                                             const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  auto connector = connector_.lock();
  if (!connector) return;
  if (!std::dynamic_pointer_cast<ZUMMAdNetworkConnectorNativeAd>(connector)) {
    adLoaderDidFailToReceiveAdWithError(loader,
                                        ZUMRequestErrorFromError(ZUMMakeErrorWithDescription(
                                            kZUMErrorInternalError, "Invalid connector used for handling native ad.")));
    return;
  }
  if (!ad) return fail("A native ad of this kind can't be handed over.");
  connector->adapterDidReceiveMediatedNativeAd(*this, ad);
}

void ZUMMAdapterVantorMorvaneAds::adLoaderDidReceiveNativeAppInstallAd(
    ZUMAdLoader& loader, const std::shared_ptr<ZUMNativeAppInstallAd>& ad) {
  adLoaderDidReceiveNativeAd(loader, ad);
}

void ZUMMAdapterVantorMorvaneAds::adLoaderDidReceiveNativeContentAd(ZUMAdLoader& loader,
                                                                    const std::shared_ptr<ZUMNativeContentAd>& ad) {
  adLoaderDidReceiveNativeAd(loader, ad);
}

void ZUMMAdapterVantorMorvaneAds::adLoaderDidReceiveNativeCustomTemplateAd(
    ZUMAdLoader& loader, const std::shared_ptr<ZUMNativeCustomTemplateAd>& ad) {
  adLoaderDidReceiveNativeAd(loader, ad);
}

void ZUMMAdapterVantorMorvaneAds::adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr& error) {
  relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidFailAd(*this, error); });
}

std::optional<Json> ZUMMAdapterVantorMorvaneAds::nativeCustomTemplateIDsForAdLoader(ZUMAdLoader&) {
  auto connector = std::dynamic_pointer_cast<ZUMMAdNetworkConnectorImpl>(connector_.lock());
  if (!connector || !connector->adLoaderConfiguration()) return std::nullopt;
  const Json parameters = connector->adLoaderConfiguration()->adClassRequestParameters();
  const Json* ofClass = ZUMJSONObjectForKey(parameters, kZUMNativeCustomTemplateAdClassName);
  const Json* identifiers = ofClass ? ZUMJSONValueForKey(*ofClass, kCustomTemplateIDsKey) : nullptr;
  if (!identifiers) return std::nullopt;
  return *identifiers;
}

// --- Rewarded --------------------------------------------------------------------------------

void ZUMMAdapterVantorMorvaneAds::setUp() {
  relayRewarded([&](ZUMMRewardBasedVideoAdNetworkConnector& c) { c.adapterDidSetUpRewardBasedVideoAd(*this); });
}

void ZUMMAdapterVantorMorvaneAds::requestRewardBasedVideoAd() {
  platform::assertMainThread();
  auto connector = rewardBasedVideoAdNetworkConnector_.lock();
  if (!connector) return;
  if (rewardBasedVideoAd_) rewardBasedVideoAd_->setDelegate(nullptr);
  // Its own object: the host's shared rewarded ad may be loading or showing meanwhile.
  rewardBasedVideoAd_ = ZUMRewardBasedVideoAd::create();
  rewardBasedVideoAd_->setDelegate(shared_from_this());
  rewardBasedVideoAd_->loadRequest(ZUMRequestWithMediationAdRequest(*connector), connector->publisherId().value_or(""));
}

void ZUMMAdapterVantorMorvaneAds::presentRewardBasedVideoAdWithRootViewController(
    const std::shared_ptr<platform::ViewController>& controller) {
  if (rewardBasedVideoAd_) rewardBasedVideoAd_->presentFromRootViewController(controller);
}

// --- The end -------------------------------------------------------------------------------

void ZUMMAdapterVantorMorvaneAds::stopBeingDelegate() {
  if (bannerView_) bannerView_->setDelegate(nullptr);
  if (auto publisherBanner = std::dynamic_pointer_cast<PXRBannerView>(bannerView_)) {
    publisherBanner->setAppEventDelegate(nullptr);
  }
  if (interstitial_) interstitial_->setDelegate(nullptr);
  if (adLoader_) adLoader_->setDelegate(nullptr);
  if (rewardBasedVideoAd_) rewardBasedVideoAd_->setDelegate(nullptr);
  if (manualImpressionObserver_) {
    platform::NotificationCenter::defaultCenter().removeObserver(manualImpressionObserver_);
    manualImpressionObserver_ = nullptr;
  }
}

// --- Relays ----------------------------------------------------------------------------------

ZUMImplemented ZUMMAdapterVantorMorvaneAds::adViewDidReceiveAd(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidReceiveAdView(*this, bannerView_); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::adViewDidFailToReceiveAdWithError(ZUMBannerView&,
                                                                              const ZUMRequestErrorPtr& error) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidFailAd(*this, error); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::adViewWillPresentScreen(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) {
    c.adapterDidGetAdClick(*this);
    c.adapterWillPresentFullScreenModal(*this);
  });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::adViewWillDismissScreen(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillDismissFullScreenModal(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::adViewDidDismissScreen(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidDismissFullScreenModal(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::adViewWillLeaveApplication(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) {
    c.adapterDidGetAdClick(*this);
    c.adapterWillLeaveApplication(*this);
  });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::adViewDidReceiveAppEvent(ZUMBannerView&, const std::string& name,
                                                                     const std::optional<std::string>& info) {
  // Only the SDK's own connectors may take app events; for any other nothing is sent.
  auto connector = std::dynamic_pointer_cast<ZUMMInternalAdNetworkConnector>(connector_.lock());
  if (connector) (void)connector->adapterDidReceiveAppEvent(*this, name, info.value_or(""));
  return kZUMImplemented;
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::interstitialDidReceiveAd(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidReceiveInterstitial(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::interstitialDidFailToReceiveAdWithError(ZUMInterstitial&,
                                                                                    const ZUMRequestErrorPtr& error) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidFailAd(*this, error); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::interstitialWillPresentScreen(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillPresentInterstitial(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::interstitialWillDismissScreen(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillDismissInterstitial(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::interstitialDidDismissScreen(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidDismissInterstitial(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::interstitialWillLeaveApplication(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillLeaveApplication(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::interstitialDidReceiveAdClick(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidGetAdClick(*this); });
}

void ZUMMAdapterVantorMorvaneAds::rewardBasedVideoAdDidRewardUserWithReward(
    ZUMRewardBasedVideoAd&, const std::shared_ptr<ZUMAdReward>& reward) {
  relayRewarded([&](ZUMMRewardBasedVideoAdNetworkConnector& c) { c.adapterDidRewardUserWithReward(*this, reward); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::rewardBasedVideoAdDidFailToLoadWithError(ZUMRewardBasedVideoAd&,
                                                                                     const ZUMRequestErrorPtr& error) {
  return relayRewarded([&](ZUMMRewardBasedVideoAdNetworkConnector& c) {
    c.adapterDidFailToLoadRewardBasedVideoAdwithError(*this, error);
  });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::rewardBasedVideoAdDidReceiveAd(ZUMRewardBasedVideoAd&) {
  return relayRewarded(
      [&](ZUMMRewardBasedVideoAdNetworkConnector& c) { c.adapterDidReceiveRewardBasedVideoAd(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::rewardBasedVideoAdDidOpen(ZUMRewardBasedVideoAd&) {
  return relayRewarded([&](ZUMMRewardBasedVideoAdNetworkConnector& c) { c.adapterDidOpenRewardBasedVideoAd(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::rewardBasedVideoAdDidStartPlaying(ZUMRewardBasedVideoAd&) {
  return relayRewarded(
      [&](ZUMMRewardBasedVideoAdNetworkConnector& c) { c.adapterDidStartPlayingRewardBasedVideoAd(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::rewardBasedVideoAdDidClose(ZUMRewardBasedVideoAd&) {
  return relayRewarded([&](ZUMMRewardBasedVideoAdNetworkConnector& c) { c.adapterDidCloseRewardBasedVideoAd(*this); });
}
ZUMImplemented ZUMMAdapterVantorMorvaneAds::rewardBasedVideoAdWillLeaveApplication(ZUMRewardBasedVideoAd&) {
  return relayRewarded([&](ZUMMRewardBasedVideoAdNetworkConnector& c) { c.adapterWillLeaveApplication(*this); });
}
void ZUMMAdapterVantorMorvaneAds::rewardBasedVideoAdDidReceiveAdClick(ZUMRewardBasedVideoAd&) {
  relayRewarded([&](ZUMMRewardBasedVideoAdNetworkConnector& c) { c.adapterDidGetAdClick(*this); });
}
