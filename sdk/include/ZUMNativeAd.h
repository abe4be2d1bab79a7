// The base of the native ad kinds (app install, content, custom template): the ad's
// dictionary from the server, the hidden slot whose page preprocessed the ad and now
// performs its clicks and impression pings, the tracking data, which events the host
// itself may report, the bookkeeping of the kinds' asset loads, the relay of the slot's
// events to the host's ZUMNativeAdDelegate, and the statistics record that later
// requests send back. The kinds add their assets and views.
//
// An ad made from another network's ad (the mediated constructor of a kind) has no
// dictionary and no slot: it holds the wrapper of the network's ad, reports its clicks,
// impressions and views to it, and hears the network ad's notifications
// (ZUMMediatedNativeAdNotificationSource), handled on the main thread whatever thread
// posts them.
//
// Every ad of one response shares one slot; its events reach the ad that last asked the
// page to act (a click or impression of its own), never another ad of the response.
//
// Holds its slot strongly (the page lives as long as the ad), its delegate and root view
// controller weakly. Main thread only, but for the asset bookkeeping
// (finishedLoadingAssetWithName and its siblings), which the kinds may call from any
// queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMSlotAdEventDelegate.h"
#include "platform/base/Error.h"
#include "sdk/native/ZUMNativeAdViewPolicyDelegate.h"
#include "sdk/request/ZUMAdConfiguration.h"
#include "sdk/request/ZUMLoadable.h"

namespace platform {
class Notification;
class View;
class ViewController;
}  // namespace platform

class ZUMMediaContentDisplaying;
class ZUMMediatedNativeAdDelegate;
class ZUMMediatedNativeAdImpl;
class ZUMNativeAdDelegate;
class ZUMNativeAdEventRouter;
enum class ZUMNativePageCall : std::uint8_t;
class ZUMOverlayView;
class ZUMSlot;

// Asset ids of the template views: the media view and the AdChoices view of the app
// install ("2011", "2012") and content ("1009", "1010") templates.
bool ZUMNativeAssetNameIsMediaView(const std::string& assetName);
bool ZUMNativeAssetNameIsAdChoicesView(const std::string& assetName);

// The statistics records kept under `adFormatKey` (a template id) whose "ad_unit_id" is
// `adUnitID`; std::nullopt when none match.
std::optional<nlohmann::ordered_json> ZUMNativeAdStatisticsForAdUnitID(const std::string& adUnitID,
                                                                       const std::string& adFormatKey);

// The user default bounding the statistics records kept per ad format (10 when unset
// or not a number).
inline constexpr const char* kZUMNativeAdStatisticsMaxCountKey = "/vantor/ads/zum:native_ad_statistics_max_count";
inline constexpr std::int64_t kZUMNativeAdStatisticsDefaultMaxCount = 10;

class ZUMNativeAd : public ZUMLoadable,
                    public ZUMSlotAdEventDelegate,
                    public ZUMNativeAdViewPolicyDelegate,
                    public std::enable_shared_from_this<ZUMNativeAd> {
 public:
  using Json = nlohmann::ordered_json;
  using AssetCompletion = std::function<void(const platform::ErrorPtr&)>;

  ~ZUMNativeAd() override;
  ZUMNativeAd(const ZUMNativeAd&) = delete;
  ZUMNativeAd& operator=(const ZUMNativeAd&) = delete;

  // --- Class side ---------------------------------------------------------------------
  // The "ads" array of a preprocessed response; std::nullopt when it is not an array.
  static std::optional<Json> adsArrayInAdsConfigurationDictionary(const Json& configuration);
  // The native-ad support page: the user default "/vantor/ads/native_ad_support_url"
  // when it is an http(s) URL, else the ad server's page.
  static std::string supportHTMLURL();

  // --- Overridden by the kinds --------------------------------------------------------
  // The ad format's template id ("2" app install, "1" content, "3" custom template).
  virtual std::string adFormatTemplateID() const { return ""; }
  // Whether the ad dictionary serves the request the kind's class parameters made.
  virtual bool hasValidConfigurationForRequestParameters(const Json& /*parameters*/) const { return true; }
  // The assets whose failure fails the ad.
  virtual std::set<std::string> requiredAssets() const { return {}; }
  // The view the AdChoices asset shows, or nullptr.
  virtual std::shared_ptr<platform::View> adChoicesContentView() const { return nullptr; }
  // The view over the ad view in which the ad's page opens its overlay page, or nullptr.
  virtual std::shared_ptr<ZUMOverlayView> overlayView() const { return nullptr; }
  // The ad's media (its video), which media views show, or nullptr.
  virtual std::shared_ptr<ZUMMediaContentDisplaying> mediaContent() const { return nullptr; }
  // The receiver of a network's native ad's user events when this ad stands for one (the
  // first-party network's ads); none in the base.
  virtual std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() { return nullptr; }
  // Starts the kind's asset loads (the base has none), then completes as the base does.
  void loadAssetsWithCompletionHandler(AssetCompletion completion) override;

  // --- Host-reported events -----------------------------------------------------------
  // Each is refused (logged, nothing sent) unless the server allowed the host to report
  // it. A click names its asset under "click_signal"."asset_id".
  void performClickWithData(const std::optional<Json>& data);
  // "x", "y" and "duration_ms", rounded, go to the touch signal.
  void reportTouchEventWithData(const std::optional<Json>& data);
  // Whether the ad has recorded its (one) impression.
  bool recordImpressionWithData(const std::optional<Json>& data);

  // --- Called by the view policy and the template views --------------------------------
  void performClickOnView(const std::shared_ptr<platform::View>& view, const std::optional<std::string>& assetName,
                          const Json& environment);
  void recordImpressionWithEnvironment(const Json& environment);
  // The shared page's router has forgotten this ad's clicks (more waited than it keeps):
  // what waits for their answers gives up. Nothing waits in the base.
  virtual void pageWillNotAnswerClicks() {}
  // Replaces the statistics record (only once the ad has an ad unit id).
  void reportIsMediaContentRendered(bool rendered);

  // --- Asset bookkeeping of the kinds (any thread) ---------------------------------------
  void addAssetWithNameToRequestedAssets(const std::string& name);
  // True for the first caller only: asset loads start once.
  bool shouldLoadAssets();
  void finishedLoadingAssetWithName(const std::optional<std::string>& name);
  void failedToLoadAssetWithName(const std::string& name);

  // --- ZUMSlotAdEventDelegate (the slot's events, routed to this ad) -----------------------
  ZUMImplemented slotWillPresentScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotDidDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillLeaveApplication(ZUMSlot& slot) override;
  ZUMImplemented slotDidRecordImpression(ZUMSlot& slot) override;
  ZUMImplemented slotDidRecordClick(ZUMSlot& slot) override;

  // --- ZUMNativeAdViewPolicyDelegate: a mediated ad's network renders in and untracks the
  // policy's view -----------------------------------------------------------------------
  void nativeAdViewPolicyDidBeginTrackingView(ZUMNativeAdViewPolicy& policy, platform::View& view) override;
  void nativeAdViewPolicyDidUnloadNativeAd(ZUMNativeAdViewPolicy& policy, ZUMNativeAd& ad,
                                           platform::View* view) override;

  // --- Properties ---------------------------------------------------------------------
  std::shared_ptr<ZUMNativeAdDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMNativeAdDelegate>& delegate) { delegate_ = delegate; }
  std::shared_ptr<platform::ViewController> rootViewController() const { return rootViewController_.lock(); }
  void setRootViewController(const std::shared_ptr<platform::ViewController>& controller);
  const std::shared_ptr<ZUMSlot>& slot() const { return slot_; }
  // Kinds that observe the slot's page override it and call this one.
  virtual void setSlot(const std::shared_ptr<ZUMSlot>& slot);
  const std::optional<std::string>& adUnitID() const { return adUnitID_; }
  void setAdUnitID(std::optional<std::string> adUnitID) { adUnitID_ = std::move(adUnitID); }
  const std::optional<Json>& adConfiguration() const { return adConfiguration_; }
  const std::optional<std::string>& adNetworkClassName() const { return adNetworkClassName_; }
  void setAdNetworkClassName(std::optional<std::string> name) { adNetworkClassName_ = std::move(name); }
  // The mediated ad's extra assets (std::nullopt for server ads). Virtual, as the
  // network-side protocol of mediated ads has the same operation.
  virtual std::optional<Json> extraAssets() const { return extraAssets_; }
  // The wrapper of another network's ad (nullptr for server ads).
  const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedNativeAd() const { return mediatedNativeAd_; }
  void setMediatedNativeAd(std::shared_ptr<ZUMMediatedNativeAdImpl> mediatedAd) {
    mediatedNativeAd_ = std::move(mediatedAd);
  }

  bool hasRecordedImpression() const { return hasRecordedImpression_; }
  bool publisherRenderAdChoicesAllowed() const { return publisherRenderAdChoicesAllowed_; }
  void setPublisherRenderAdChoicesAllowed(bool allowed) { publisherRenderAdChoicesAllowed_ = allowed; }
  bool publisherClickReportingAllowed() const { return publisherClickReportingAllowed_; }
  bool publisherTouchReportingAllowed() const { return publisherTouchReportingAllowed_; }
  bool publisherImpressionReportingAllowed() const { return publisherImpressionReportingAllowed_; }
  std::int64_t attributionCorner() const { return attributionCorner_; }

  const std::set<std::string>& impressionTrackingURLs() const { return impressionTrackingURLs_; }
  const std::set<std::string>& thirdPartyClickTrackingURLs() const { return thirdPartyClickTrackingURLs_; }
  const std::optional<std::string>& vantorClickTrackingURLString() const { return vantorClickTrackingURLString_; }
  const Json& clickActions() const { return clickActions_; }
  const Json& activeViewConfigurations() const { return activeViewConfigurations_; }
  const std::optional<std::string>& debugSignalInformation() const { return debugSignalInformation_; }
  const Json& statistics() const { return statistics_; }

 protected:
  // A server ad: `dictionary` is one entry of the preprocessed "ads" array; the options
  // give the AdChoices corner.
  ZUMNativeAd(const Json& dictionary, const ZUMAdConfiguration::Options& options);
  // A mediated ad: no dictionary, no options read (the AdChoices corner stays 0 and the
  // host may report nothing itself); the class name and extra assets are the mediated
  // ad's. The kind's factory then calls observeMediatedNativeAd().
  explicit ZUMNativeAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd);
  // Hears the network ad's notifications until this ad goes away.
  void observeMediatedNativeAd();
  // Whether `message`, posted now by the ad view of the slot's page, which the ads of
  // one response share, is this ad's: it answers this ad's call, or this ad is alone on
  // the page.
  bool isAddressedByPage(const platform::Notification& message) const;

 private:
  struct AssetState {
    std::set<std::string> requested;
    std::set<std::string> completed;
    // Requested names not yet completed: the completion check reads this instead of
    // comparing the sets after every asset.
    std::size_t outstanding = 0;
    // The kind's required assets, read once at the first failure: an ad of many images
    // would otherwise build the whole set again for each one that fails.
    std::optional<std::set<std::string>> required;
    bool failedRequired = false;
    bool started = false;
    std::vector<AssetCompletion> handlers;
  };

  void readTrackingData(const Json& dictionary);
  void pingDebugSignal();
  // Runs `function(argument)` of the native-ads script in the slot's page; the page's
  // answers to this `call` are then this ad's.
  void callPage(const std::string& function, const Json& argument, ZUMNativePageCall call);
  void markAssetCompletedLocked(const std::string& name);  // assetMutex_ held
  bool isRequiredAsset(const std::string& name);
  void notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded();
  void callAndClearAssetLoadCompletionHandlersWithError(const platform::ErrorPtr& error);
  using DelegateCall = ZUMImplemented (ZUMNativeAdDelegate::*)(ZUMNativeAd&);
  ZUMImplemented relay(DelegateCall call);
  void keepStatistics() const;
  void handleMediatedNativeAdNotification(const platform::Notification& notification);

  bool hasRecordedImpression_ = false;
  std::set<std::string> impressionTrackingURLs_;
  std::mutex assetMutex_;
  AssetState assets_;  // guarded by assetMutex_
  bool publisherRenderAdChoicesAllowed_ = false;
  bool publisherClickReportingAllowed_ = false;
  bool publisherTouchReportingAllowed_ = false;
  bool publisherImpressionReportingAllowed_ = false;
  std::weak_ptr<ZUMNativeAdDelegate> delegate_;
  std::weak_ptr<platform::ViewController> rootViewController_;
  std::optional<Json> extraAssets_;
  std::optional<std::string> adNetworkClassName_;
  std::optional<std::string> adUnitID_;
  std::optional<Json> adConfiguration_;
  std::shared_ptr<ZUMMediatedNativeAdImpl> mediatedNativeAd_;
  std::shared_ptr<ZUMSlot> slot_;
  std::shared_ptr<ZUMNativeAdEventRouter> router_;
  std::set<std::string> thirdPartyClickTrackingURLs_;
  std::optional<std::string> vantorClickTrackingURLString_;
  Json clickActions_ = Json::array();
  Json activeViewConfigurations_ = Json::object();
  std::int64_t attributionCorner_ = 0;
  std::optional<std::string> debugSignalInformation_;
  Json statistics_ = Json::object();
};
