// The built-in adapter that runs the app's own ad code: the network entry names a
// registered custom-event class in its credential "class_name"; the adapter makes an
// object of it for each request, hands it the entry's "parameter" and "label" with a
// read-only snapshot of the publisher's request, and relays the custom event's reports
// to its connector. Banners, interstitials and native ads.
//
// Set-up failures are reported once as errors of kZUMMCustomEventsErrorDomain, code 1;
// the custom event's own errors pass unchanged.
//
// Held by its connector (weakly held back); the custom event holds the adapter weakly.
// Requests on the main thread; the custom event may report on any thread (the connector
// moves reports to the main thread).
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "ZUMCustomEventBanner.h"
#include "ZUMCustomEventInterstitial.h"
#include "ZUMCustomEventNativeAd.h"
#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdapterClass.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"

class ZUMMAdNetworkConnector;

inline constexpr const char* kZUMMCustomEventsErrorDomain = "ad_mediation";

class ZUMMAdapterCustomEvents final : public ZUMMAdNetworkAdapter,
                                      public ZUMCustomEventBannerDelegate,
                                      public ZUMCustomEventInterstitialDelegate,
                                      public ZUMCustomEventNativeAdDelegate,
                                      public std::enable_shared_from_this<ZUMMAdapterCustomEvents> {
 public:
  using Connector = ZUMMAdNetworkConnector;

  static std::shared_ptr<ZUMMAdapterCustomEvents> create(const std::shared_ptr<Connector>& connector);
  // Stops being the custom events' delegate.
  ~ZUMMAdapterCustomEvents() override;

  // Registers the adapter class under kZUMMAdapterCustomEventsClassName.
  static void registerClass();

  // --- ZUMMAdNetworkAdapter -------------------------------------------------------------
  void getBannerWithSize(const ZUMAdSize& size) override;
  void getInterstitial() override;
  bool getNativeAdWithAdTypes(const std::vector<std::string>& adTypes, const std::vector<std::any>& options) override;
  void stopBeingDelegate() override;
  bool isBannerAnimationOK(std::int64_t /*animationType*/) override { return true; }
  void presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>& controller) override;
  std::optional<bool> handlesUserClicks() override;
  std::optional<bool> handlesUserImpressions() override;

  // --- The custom events' reports (any thread) ------------------------------------------
  void customEventBannerDidReceiveAd(ZUMCustomEventBanner& banner,
                                     const std::shared_ptr<platform::View>& view) override;
  void customEventBannerDidFailAd(ZUMCustomEventBanner& banner, const platform::ErrorPtr& error) override;
  void customEventBannerWasClicked(ZUMCustomEventBanner& banner) override;
  void customEventBannerClickDidOccurInAd(ZUMCustomEventBanner& banner,
                                          const std::shared_ptr<platform::View>& view) override;
  void customEventBannerWillPresentModal(ZUMCustomEventBanner& banner) override;
  void customEventBannerWillDismissModal(ZUMCustomEventBanner& banner) override;
  void customEventBannerDidDismissModal(ZUMCustomEventBanner& banner) override;
  void customEventBannerWillLeaveApplication(ZUMCustomEventBanner& banner) override;
  std::shared_ptr<platform::ViewController> viewControllerForPresentingModalView() override;
  void customEventInterstitialDidReceiveAd(ZUMCustomEventInterstitial& interstitial) override;
  void customEventInterstitialDidReceiveAdObject(ZUMCustomEventInterstitial& interstitial,
                                                 const std::shared_ptr<void>& ad) override;
  void customEventInterstitialDidFailAd(ZUMCustomEventInterstitial& interstitial,
                                        const platform::ErrorPtr& error) override;
  void customEventInterstitialWasClicked(ZUMCustomEventInterstitial& interstitial) override;
  void customEventInterstitialWillPresent(ZUMCustomEventInterstitial& interstitial) override;
  void customEventInterstitialWillDismiss(ZUMCustomEventInterstitial& interstitial) override;
  void customEventInterstitialDidDismiss(ZUMCustomEventInterstitial& interstitial) override;
  void customEventInterstitialWillLeaveApplication(ZUMCustomEventInterstitial& interstitial) override;
  void customEventNativeAdDidReceiveMediatedNativeAd(ZUMCustomEventNativeAd& nativeAd,
                                                     const std::shared_ptr<ZUMMediatedNativeAd>& ad) override;
  void customEventNativeAdDidFailToLoadWithError(ZUMCustomEventNativeAd& nativeAd,
                                                 const platform::ErrorPtr& error) override;

 private:
  explicit ZUMMAdapterCustomEvents(const std::shared_ptr<Connector>& connector) : connector_(connector) {}

  std::shared_ptr<Connector> connector() const;
  // Passes a report on while the adapter has a connector.
  template <class Call>
  void relay(Call call) {
    if (auto target = connector()) call(*target);
  }
  // A new object of the class the credentials name, when it is a `Kind`; nullptr after
  // reporting why. `notOfKind` words the report on a class of another kind from its name.
  template <class Kind>
  std::shared_ptr<Kind> customEventWithCredentials(Connector& connector, const nlohmann::ordered_json& credentials,
                                                   std::string (*notOfKind)(const std::string& className));
  // Reports a set-up failure once: kZUMMCustomEventsErrorDomain, code 1.
  void failWithMessage(Connector& connector, const std::string& message, bool log);

  mutable std::mutex mutex_;  // guards connector_: reports come on any thread
  std::weak_ptr<Connector> connector_;
  std::shared_ptr<ZUMCustomEventBanner> customEventBanner_;
  std::shared_ptr<ZUMCustomEventInterstitial> customEventInterstitial_;
  std::shared_ptr<ZUMCustomEventNativeAd> customEventNativeAd_;
};
