// The built-in adapter through which a waterfall asks the SDK's own ad server again: it
// makes a hidden banner view or interstitial, has the SDK-core page answer for it as a
// mediation request ("vantor-ad-url-mediation"), loads the ad the page hands back into
// that banner or interstitial once, and relays what they report to its connector.
// Single use: the first getBannerWithSize or getInterstitial fixes the format.
//
// Made only for the SDK's own connectors (ZUMMInternalAdNetworkConnector), which it
// holds weakly; owns its banner or interstitial, which hold it weakly as their delegate.
// Its failures are errors of kZUMMAdURLAdapterErrorDomain; those of the banner,
// interstitial and SDK core pass unchanged. Main thread only, except setRequestID (the
// SDK core's queue).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "ZUMBannerViewDelegate.h"
#include "ZUMInterstitialDelegate.h"
#include "ZUMMAdNetworkAdapter.h"
#include "sdk/request/ZUMSDKCoreControllerDelegate.h"

class ZUMBannerView;
class ZUMInterstitial;
class ZUMMAdNetworkConnector;
class ZUMMInternalAdNetworkConnector;

inline constexpr const char* kZUMMAdURLAdapterClassName = "ZUMMAdURLAdapter";
inline constexpr const char* kZUMMAdURLAdapterErrorDomain = "com.vantor.ads.ZUMMAdURLAdapter";

class ZUMMAdURLAdapter final : public ZUMMAdNetworkAdapter,
                               public ZUMSDKCoreControllerDelegate,
                               public ZUMBannerViewDelegate,
                               public ZUMInterstitialDelegate,
                               public std::enable_shared_from_this<ZUMMAdURLAdapter> {
 public:
  // nullptr unless the connector is one of the SDK's own.
  static std::shared_ptr<ZUMMAdURLAdapter> create(const std::shared_ptr<ZUMMAdNetworkConnector>& connector);
  // The SDK core may let go of the adapter last, on its own queue: the banner or
  // interstitial is then let go of on the main thread.
  ~ZUMMAdURLAdapter() override;
  // Registers the adapter class under kZUMMAdURLAdapterClassName.
  static void registerClass();

  // --- ZUMMAdNetworkAdapter -------------------------------------------------------------
  void getBannerWithSize(const ZUMAdSize& size) override;
  void getInterstitial() override;
  void stopBeingDelegate() override;
  bool isBannerAnimationOK(std::int64_t /*animationType*/) override { return true; }
  void presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>& controller) override;
  bool changeAdSizeTo(const ZUMAdSize& size) override;

  // --- ZUMSDKCoreControllerDelegate -----------------------------------------------------
  std::shared_ptr<ZUMCSITimeRecorder> adLoadActionTimeRecorder() override { return nullptr; }
  nlohmann::ordered_json requestParameters() override;
  std::int64_t requestedAdType() override;
  void setRequestID(const std::string& requestID) override;
  void loadAdURLWithParameters(const nlohmann::ordered_json& parameters) override;
  void loadAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<nlohmann::ordered_json>& headers) override;
  void invalidJavaScriptRequest() override;
  void failedJavaScriptFile() override;
  void SDKCoreRequestDidFailWithError(const platform::ErrorPtr& error) override;

  // --- The banner's and the interstitial's reports --------------------------------------
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView& view) override;
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView& view, const ZUMRequestErrorPtr& error) override;
  ZUMImplemented adViewWillPresentScreen(ZUMBannerView& view) override;
  ZUMImplemented adViewWillDismissScreen(ZUMBannerView& view) override;
  ZUMImplemented adViewDidDismissScreen(ZUMBannerView& view) override;
  ZUMImplemented adViewWillLeaveApplication(ZUMBannerView& view) override;
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial& ad, const ZUMRequestErrorPtr& error) override;
  ZUMImplemented interstitialWillPresentScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialWillDismissScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidDismissScreen(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialWillLeaveApplication(ZUMInterstitial& ad) override;
  ZUMImplemented interstitialDidReceiveAdClick(ZUMInterstitial& ad) override;

  // What tests look at.
  const std::shared_ptr<ZUMBannerView>& banner() const { return banner_; }
  const std::shared_ptr<ZUMInterstitial>& interstitial() const { return interstitial_; }

 private:
  explicit ZUMMAdURLAdapter(const std::shared_ptr<ZUMMInternalAdNetworkConnector>& connector) : connector_(connector) {}

  // Asks the SDK core to answer for this adapter.
  void loadRequest();
  // Reports one of the adapter's own failures (kZUMMAdURLAdapterErrorDomain).
  void fail(std::int64_t code, const std::string& text);
  // The same, only once a banner or interstitial has been asked for.
  void reportAdLoadFailure(std::int64_t code, const std::string& text);
  // Passes a report on to the connector.
  template <class Call>
  ZUMImplemented relay(Call call);

  std::weak_ptr<ZUMMInternalAdNetworkConnector> connector_;
  std::atomic<bool> shouldRespondToSDKCore_{true};
  std::shared_ptr<ZUMBannerView> banner_;
  std::shared_ptr<ZUMInterstitial> interstitial_;
  mutable std::mutex mutex_;  // guards requestID_: set on the SDK core's queue
  std::optional<std::string> requestID_;
};
