// The SDK's connector of one ad network entry of one waterfall pass: it makes and owns
// the entry's adapter, answers the adapter's questions about the publisher's request
// (the slot's loading request) and the slot's ad, turns the adapter's reports into calls
// on the waterfall (ZUMMConnectorDelegate) and on the slot, and sends the network's
// click, impression and fill pings. The banner, interstitial and native connectors
// subclass it; the owner of the mediated ad picks the class.
//
// Adapters are host code: a report may come on any thread, twice, from an adapter that
// is not this connector's, or after the relation ended. Every report is moved to the
// main thread first; load results (and clicks) of another adapter are dropped, and
// nothing is passed on once askAdapterToStopBeingDelegate() ran or the waterfall let go
// of the connector.
//
// Owns its adapter (which holds it weakly); holds the waterfall weakly. Main thread
// only, but for the adapter's reports.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "sdk/mediation/ZUMMInternalAdNetworkConnector.h"
#include "sdk/mediation/ZUMMRequestAnswers.h"
#include "sdk/request/ZUMAd.h"

class ZUMAdLoaderConfiguration;
class ZUMAdType;
class ZUMMConfig;
class ZUMMConnectorDelegate;
class ZUMSlot;

// Posted (object: the connector; user-info object "adapter": its adapter) when the
// publisher records an impression by hand.
inline constexpr const char* kZUMMAdNetworkConnectorDidRecordManualImpressionNotification =
    "ZUMMAdNetworkConnectorDidRecordManualImpressionNotification";
// The header of the synthetic request of an inlined ad.
inline constexpr const char* kZUMMInlinedAnnotationHeader = "x-qyra-annotation-inlined";

class ZUMMAdNetworkConnectorImpl : public ZUMMInternalAdNetworkConnector,
                                   public ZUMMRequestAnswers,
                                   public std::enable_shared_from_this<ZUMMAdNetworkConnectorImpl> {
 public:
  using Adapter = ZUMMAdNetworkAdapter;
  using Json = nlohmann::ordered_json;

  // The connector of `networkConfig` in the pass over `config`; nullptr without either.
  static std::shared_ptr<ZUMMAdNetworkConnectorImpl> create(std::shared_ptr<const ZUMMConfig> config,
                                                            std::shared_ptr<ZUMMAdNetworkConfig> networkConfig);
  // Tells the adapter to stop being its delegate.
  ~ZUMMAdNetworkConnectorImpl() override;

  // --- Driven by the waterfall ---------------------------------------------------------
  // Makes the entry's adapter with this connector (none when the class has none).
  void setUpAdapter();
  // Asks the adapter for an ad of the type; the base class fails the attempt (code 11).
  virtual void getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>& adType);
  // Ends the relation: the adapter's stopBeingDelegate, and no report is passed on.
  void askAdapterToStopBeingDelegate();
  // "adapter: <class>, version: <version or unknown>".
  std::string adapterVersion() const;

  std::shared_ptr<ZUMMConnectorDelegate> adManager() const { return adManager_.lock(); }
  void setAdManager(const std::shared_ptr<ZUMMConnectorDelegate>& manager) { adManager_ = manager; }
  const std::shared_ptr<const ZUMMConfig>& mediationConfig() const { return mediationConfig_; }
  const std::shared_ptr<ZUMAdLoaderConfiguration>& adLoaderConfiguration() const { return adLoaderConfiguration_; }
  void setAdLoaderConfiguration(std::shared_ptr<ZUMAdLoaderConfiguration> configuration) {
    adLoaderConfiguration_ = std::move(configuration);
  }
  const std::shared_ptr<Adapter>& adapter() const { return adapter_; }
  // The current answer came from a network that loads again by itself.
  bool didNetworkRefresh() const { return didNetworkRefresh_; }
  void setDidNetworkRefresh(bool refresh) { didNetworkRefresh_ = refresh; }
  // A click was pinged for the current ad.
  bool isClicked() const { return clicked_; }
  void setClicked(bool clicked) { clicked_ = clicked; }

  // --- Pings ---------------------------------------------------------------------------
  // Once per ad: the response's click templates then the entry's (none: the default).
  void reportClick();
  // The response's impression templates then the entry's, with the slot's adapter
  // durations and exit codes, which are then reset.
  void reportImpression();
  // The entry's fill templates (no default) with the slot's fill states, then reset.
  void reportFill();
  // Posts kZUMMAdNetworkConnectorDidRecordManualImpressionNotification.
  void reportManualImpression();

  // --- Answers -------------------------------------------------------------------------
  // The slot's current ad's size and cropped-content threshold (0 without an ad).
  platform::Size adSize() const;
  double croppedContentThreshold() const;
  // The entry's "ad" with "_native_interstitial_size_width", "_native_interstitial_size_height"
  // and "_native_cropped_content_threshold" added as text (each only when finite).
  std::optional<Json> inlineAd() const override;
  // What travels beside inlineAd(): the slot's ad's original request, and its redirects
  // followed by a synthetic one for the ad's base URL (status 399, the ad's headers; the
  // request for the inlined "ad_base_url" marked kZUMMInlinedAnnotationHeader) when the
  // ad has a base URL. Empty without an "ad".
  ZUMAd::NativeFields inlineAdNativeFields() const;
  // Precise only: a location from a description alone is not the user's position.
  bool userHasLocation() const override;
  std::shared_ptr<platform::ViewController> viewControllerForPresentingModalView() const override;
  float adVolume() const override;
  bool adMuted() const override;
  std::shared_ptr<ZUMMAdNetworkConfig> networkConfig() const override { return networkConfig_; }
  void setNetworkConfig(std::shared_ptr<ZUMMAdNetworkConfig> networkConfig) override;

  // --- The adapter's reports (any thread) ----------------------------------------------
  void adapterDidFailAd(Adapter& adapter, const platform::ErrorPtr& error) final;
  void adapterDidReceiveAdView(Adapter& adapter, const std::shared_ptr<platform::View>& view) final;
  void adapterDidReceiveInterstitial(Adapter& adapter) final;
  void adapterDidReceiveMediatedNativeAd(Adapter& adapter, const std::shared_ptr<ZUMMediatedNativeAd>& ad) final;
  void adapterDidGetAdClick(Adapter& adapter) final;
  void adapterWillLeaveApplication(Adapter& adapter) final;
  void adapterWillPresentFullScreenModal(Adapter& adapter) final;
  void adapterWillDismissFullScreenModal(Adapter& adapter) final;
  void adapterDidDismissFullScreenModal(Adapter& adapter) final;
  void adapterWillPresentInterstitial(Adapter& adapter) final;
  void adapterWillDismissInterstitial(Adapter& adapter) final;
  void adapterDidDismissInterstitial(Adapter& adapter) final;
  void adapterDidReceiveInterstitialObject(Adapter& adapter, const std::shared_ptr<void>& interstitial) final;
  void adapterClickDidOccurInBanner(Adapter& adapter, const std::shared_ptr<platform::View>& view) final;
  void adapterDidFailInterstitial(Adapter& adapter, const platform::ErrorPtr& error) final;
  bool adapterDidReceiveAppEvent(Adapter& adapter, const std::string& name, const std::string& info) final;

 protected:
  ZUMMAdNetworkConnectorImpl(std::shared_ptr<const ZUMMConfig> config,
                             std::shared_ptr<ZUMMAdNetworkConfig> networkConfig);

  // What the adapter reported, on the main thread, once the report passed the checks.
  // The base class pings a click and relays the older forms; the rest does nothing.
  virtual void handleDidFailAd(const platform::ErrorPtr& /*error*/) {}
  virtual void handleDidReceiveAdView(const std::shared_ptr<platform::View>& /*view*/) {}
  virtual void handleDidReceiveInterstitial() {}
  // `handles`: the reporting adapter's handlesUserClicks and handlesUserImpressions.
  struct NativeHandling {
    std::optional<bool> clicks;
    std::optional<bool> impressions;
  };
  virtual void handleDidReceiveMediatedNativeAd(const std::shared_ptr<ZUMMediatedNativeAd>& /*ad*/,
                                                NativeHandling /*handling*/) {}
  virtual void handleDidGetAdClick() { reportClick(); }
  virtual void handleWillLeaveApplication() {}
  virtual void handleWillPresentFullScreenModal() {}
  virtual void handleWillDismissFullScreenModal() {}
  virtual void handleDidDismissFullScreenModal() {}
  virtual void handleWillPresentInterstitial() {}
  virtual void handleWillDismissInterstitial() {}
  virtual void handleDidDismissInterstitial() {}
  virtual void handleDidFailInterstitial(const platform::ErrorPtr& /*error*/) {}
  virtual void handleDidReceiveAppEvent(const std::string& /*name*/, const std::string& /*info*/) {}
  // Whether a native ad is taken from any adapter, not only this connector's own.
  virtual bool takesNativeAdsFromAnyAdapter() const { return false; }

  // Ends the attempt with `error` as the adapter's own failure would.
  void failAttempt(const platform::ErrorPtr& error) { handleDidFailAd(error); }
  // The slot's screen and click notices of a click that leaves the app, then the click ping.
  void relayLeaveApplication();
  // The waterfall's slot (nullptr without one).
  std::shared_ptr<ZUMSlot> slot() const;
  // The slot's ad, whose size and headers the answers read.
  std::shared_ptr<ZUMAd> slotAd() const;
  // "<prefix><this class's name><suffix>"-style names need the class: each subclass says it.
  virtual std::string className() const { return "ZUMMAdNetworkConnector"; }

  // --- ZUMMRequestAnswers --------------------------------------------------------------
  std::shared_ptr<ZUMRequest> answeredRequest() const override;
  const ZUMMAdNetworkConfig* answeredNetworkConfig() const override { return networkConfig_.get(); }
  const ZUMMConfig* answeredMediationConfig() const override { return mediationConfig_.get(); }

 private:
  using Self = ZUMMAdNetworkConnectorImpl;
  enum class From { kOwnAdapter, kAnyAdapter };
  // On the main thread, while the relation lasts and (for kOwnAdapter) `adapter` is
  // this connector's: `step`.
  void relay(const Adapter& adapter, From from, std::function<void(Self&)> step);

  std::shared_ptr<const ZUMMConfig> mediationConfig_;
  std::shared_ptr<ZUMMAdNetworkConfig> networkConfig_;
  std::shared_ptr<ZUMAdLoaderConfiguration> adLoaderConfiguration_;
  std::weak_ptr<ZUMMConnectorDelegate> adManager_;
  std::shared_ptr<Adapter> adapter_;
  bool relationEnded_ = false;
  bool didNetworkRefresh_ = false;
  bool clicked_ = false;
};
