// The built-in adapter through which a waterfall asks the SDK's own ad network as one of
// its entries: for each format it makes the SDK's own public ad object (a banner view or
// publisher banner, an interstitial, an ad loader, a rewarded video ad of its own, never
// the shared one), loads it with a request made from the connector's answers, and
// relays what that object reports to its connector. Serves banner, interstitial and
// native connectors (ZUMMAdNetworkAdapter) and the rewarded connector.
//
// A publisher banner records an impression when its connector posts
// kZUMMAdNetworkConnectorDidRecordManualImpressionNotification. After stopBeingDelegate
// nothing reaches the connector and manual impressions record nothing.
//
// Its own failures are code 11 of the SDK's error model; those of the objects it drives
// pass unchanged. Held by its connector, which it holds weakly; owns the ad objects,
// which hold it weakly as their delegate. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZUMAppEventDelegate.h"
#include "ZUMBannerViewDelegate.h"
#include "ZUMInterstitialDelegate.h"
#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMRewardBasedVideoAdNetworkAdapter.h"
#include "ZUMNativeAppInstallAdLoaderDelegate.h"
#include "ZUMNativeContentAdLoaderDelegate.h"
#include "ZUMNativeCustomTemplateAd.h"
#include "ZUMRewardBasedVideoAdDelegate.h"
#include "platform/base/NotificationCenter.h"

class ZUMAdLoader;
class ZUMBannerView;
class ZUMInterstitial;
class ZUMMAdNetworkConnector;
class ZUMMRewardBasedVideoAdNetworkConnector;
class ZUMMediatedNativeAd;
class ZUMRewardBasedVideoAd;

class ZUMMAdapterVantorMorvaneAds final : public ZUMMAdNetworkAdapter,
                                          public ZUMMRewardBasedVideoAdNetworkAdapter,
                                          public ZUMBannerViewDelegate,
                                          public ZUMAppEventDelegate,
                                          public ZUMInterstitialDelegate,
                                          public ZUMNativeAppInstallAdLoaderDelegate,
                                          public ZUMNativeContentAdLoaderDelegate,
                                          public ZUMNativeCustomTemplateAdLoaderDelegate,
                                          public ZUMRewardBasedVideoAdDelegate,
                                          public ZUMRewardBasedVideoAdClickDelegate,
                                          public std::enable_shared_from_this<ZUMMAdapterVantorMorvaneAds> {
 public:
  static std::shared_ptr<ZUMMAdapterVantorMorvaneAds> create(const std::shared_ptr<ZUMMAdNetworkConnector>& connector);
  static std::shared_ptr<ZUMMAdapterVantorMorvaneAds> create(
      const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& connector);
  ~ZUMMAdapterVantorMorvaneAds() override;
  // Registers the adapter class under the name mediation responses give the SDK's own
  // network (kZUMFirstPartyAdapterClassName).
  static void registerClass();

  // --- ZUMMAdNetworkAdapter -------------------------------------------------------------
  void getBannerWithSize(const ZUMAdSize& size) override;
  void getInterstitial() override;
  bool getNativeAdWithAdTypes(const std::vector<std::string>& adTypes, const std::vector<std::any>& options) override;
  // Both connectors' end: the ad objects' delegates and the manual-impression observer go.
  void stopBeingDelegate() override;
  bool isBannerAnimationOK(std::int64_t /*animationType*/) override { return true; }
  void presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>& controller) override;
  std::optional<bool> handlesUserClicks() override { return false; }
  std::optional<bool> handlesUserImpressions() override { return false; }
  bool changeAdSizeTo(const ZUMAdSize& size) override;

  // --- ZUMMRewardBasedVideoAdNetworkAdapter ---------------------------------------------
  // Answers at once: the SDK's own network needs no set-up.
  void setUp() override;
  void requestRewardBasedVideoAd() override;
  void presentRewardBasedVideoAdWithRootViewController(
      const std::shared_ptr<platform::ViewController>& controller) override;

  // --- The banner's and the interstitial's reports --------------------------------------
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView& view) override;
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView& view, const ZUMRequestErrorPtr& error) override;
  ZUMImplemented adViewWillPresentScreen(ZUMBannerView& view) override;
  ZUMImplemented adViewWillDismissScreen(ZUMBannerView& view) override;
  ZUMImplemented adViewDidDismissScreen(ZUMBannerView& view) override;
  ZUMImplemented adViewWillLeaveApplication(ZUMBannerView& view) override;
  ZUMImplemented adViewDidReceiveAppEvent(ZUMBannerView& view, const std::string& name,
                                          const std::optional<std::string>& info) override;
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial& ad, const ZUMRequestErrorPtr& error) override;
  ZUMImplemented interstitialWillPresentScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialWillDismissScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidDismissScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialWillLeaveApplication(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidReceiveAdClick(ZUMInterstitial& ad) override;

  // --- The ad loader's reports ----------------------------------------------------------
  void adLoaderDidReceiveNativeAppInstallAd(ZUMAdLoader& loader,
                                            const std::shared_ptr<ZUMNativeAppInstallAd>& ad) override;
  void adLoaderDidReceiveNativeContentAd(ZUMAdLoader& loader, const std::shared_ptr<ZUMNativeContentAd>& ad) override;
  void adLoaderDidReceiveNativeCustomTemplateAd(ZUMAdLoader& loader,
                                                const std::shared_ptr<ZUMNativeCustomTemplateAd>& ad) override;
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader& loader, const ZUMRequestErrorPtr& error) override;
  // The host's loader's "custom_template_ids" for the custom template class.
  std::optional<nlohmann::ordered_json> nativeCustomTemplateIDsForAdLoader(ZUMAdLoader& loader) override;
  // A native ad of any kind: to a native connector as its mediated ad; any other
  // connector fails the load (code 11).
  void adLoaderDidReceiveNativeAd(ZUMAdLoader& loader, const std::shared_ptr<ZUMMediatedNativeAd>& ad);

  // --- The rewarded ad's reports --------------------------------------------------------
  void rewardBasedVideoAdDidRewardUserWithReward(ZUMRewardBasedVideoAd& ad,
                                                 const std::shared_ptr<ZUMAdReward>& reward) override;
  ZUMImplemented rewardBasedVideoAdDidFailToLoadWithError(ZUMRewardBasedVideoAd& ad,
                                                          const ZUMRequestErrorPtr& error) override;
  ZUMImplemented rewardBasedVideoAdDidReceiveAd(ZUMRewardBasedVideoAd& ad) override;
  ZUMImplemented rewardBasedVideoAdDidOpen(ZUMRewardBasedVideoAd& ad) override;
  ZUMImplemented rewardBasedVideoAdDidStartPlaying(ZUMRewardBasedVideoAd& ad) override;
  ZUMImplemented rewardBasedVideoAdDidClose(ZUMRewardBasedVideoAd& ad) override;
  ZUMImplemented rewardBasedVideoAdWillLeaveApplication(ZUMRewardBasedVideoAd& ad) override;
  void rewardBasedVideoAdDidReceiveAdClick(ZUMRewardBasedVideoAd& ad) override;

  // What tests look at.
  const std::shared_ptr<ZUMBannerView>& bannerView() const { return bannerView_; }
  const std::shared_ptr<ZUMInterstitial>& interstitial() const { return interstitial_; }
  const std::shared_ptr<ZUMAdLoader>& adLoader() const { return adLoader_; }
  const std::shared_ptr<ZUMRewardBasedVideoAd>& rewardBasedVideoAd() const { return rewardBasedVideoAd_; }

 private:
  ZUMMAdapterVantorMorvaneAds() = default;

  // The size to load: the inlined ad's "ad_size", else the response's default ad size,
  // when either is not zero; else `requested`.
  ZUMAdSize bannerSize(const ZUMAdSize& requested) const;
  // A publisher banner is asked for by the host's options or by the inlined ad.
  bool wantsPublisherBanner() const;
  void observeManualImpressions(const std::shared_ptr<ZUMBannerView>& banner);
  // Reports one of the adapter's own failures (code 11) to the connector.
  void fail(const std::string& description);
  template <class Call>
  ZUMImplemented relay(Call call);
  template <class Call>
  ZUMImplemented relayRewarded(Call call);

  std::shared_ptr<ZUMBannerView> bannerView_;
  std::shared_ptr<ZUMInterstitial> interstitial_;
  std::shared_ptr<ZUMRewardBasedVideoAd> rewardBasedVideoAd_;
  std::shared_ptr<ZUMAdLoader> adLoader_;
  std::weak_ptr<ZUMMAdNetworkConnector> connector_;
  std::weak_ptr<ZUMMRewardBasedVideoAdNetworkConnector> rewardBasedVideoAdNetworkConnector_;
  platform::NotificationCenter::Token manualImpressionObserver_;
};
