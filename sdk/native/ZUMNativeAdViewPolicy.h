// Watches one ad view for one native ad: which subview shows which asset, which asset a
// tap on the ad view hits (reported as the ad's click), and the signal dictionary that
// describes the ad view's geometry and look for every click and impression.
// ZUMNativeAdTapGestureRecognizer is the tap recognizer it puts on the ad view.
//
// Holds its ad view and asset views weakly (the ad view keeps the policy alive through
// its tap recognizer), the ad and the AdChoices content view strongly. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/ui/Geometry.h"
#include "platform/ui/GestureRecognizerDelegate.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "sdk/native/ZUMNativeAdViewPolicyDelegate.h"
#include "sdk/rendering/ZUMActiveViewMonitor.h"
#include "sdk/rendering/ZUMAdViewActiveViewMonitoring.h"
#include "sdk/rendering/ZUMImpressionMonitor.h"

namespace platform {
class Color;
class LayoutConstraint;
class View;
}  // namespace platform

class ZUMActiveViewWebView;
class ZUMAdExposureMonitor;
class ZUMGestureRecognizer;
class ZUMNativeAd;
class ZUMNativeAdViewPolicy;
class ZUMOverlayView;

namespace platform {
class Notification;
}  // namespace platform

// The user default that lets the policy's recognizers recognize along with any other.
inline constexpr const char* kZUMNativeIndiscriminateRecognitionKey = "/vantor/ads/native-indiscriminate-recognition";

// The policy's tap recognizer. As the ad view holds its recognizers, a registered ad
// view keeps its policy alive through this one.
class ZUMNativeAdTapGestureRecognizer final : public platform::TapGestureRecognizer {
 public:
  static std::shared_ptr<ZUMNativeAdTapGestureRecognizer> create();
  std::shared_ptr<ZUMNativeAdViewPolicy> nativeAdViewPolicy;

 private:
  ZUMNativeAdTapGestureRecognizer() = default;
};

// A colour as one number: red in bits 24-31, green 16-23, blue 8-15, alpha 0-7. Each
// component is clamped to 0...1 first (not finite: 0), so the conversion is defined.
std::uint32_t ZUMNativeColorNumber(const platform::Color& color);

// A point size as text: six decimals, then no trailing zeros nor trailing "." (14 -> "14").
std::string ZUMNativeFontSizeString(double pointSize);

class ZUMNativeAdViewPolicy : public platform::GestureRecognizerDelegate,
                              public ZUMImpressionMonitorDelegate,
                              public ZUMActiveViewMonitorDelegate,
                              public ZUMAdViewActiveViewMonitoring,
                              public std::enable_shared_from_this<ZUMNativeAdViewPolicy> {
 public:
  using Json = nlohmann::ordered_json;
  using ViewPtr = std::shared_ptr<platform::View>;

  // nullptr without an ad view. Template views pass their kind's names with
  // `isAdViewOwnedByPublisher` false; an ad's registration passes them with true.
  static std::shared_ptr<ZUMNativeAdViewPolicy> create(const ViewPtr& adView, std::string attributionIconAssetName,
                                                       std::string attributionTextAssetName,
                                                       std::string backgroundAssetName, bool isAdViewOwnedByPublisher);
  ~ZUMNativeAdViewPolicy() override;
  ZUMNativeAdViewPolicy(const ZUMNativeAdViewPolicy&) = delete;
  ZUMNativeAdViewPolicy& operator=(const ZUMNativeAdViewPolicy&) = delete;

  const std::shared_ptr<ZUMNativeAd>& nativeAd() const { return nativeAd_; }
  // Tells the delegate the old ad is gone, starts exposure monitoring of the new one and,
  // on a coming turn of the main queue, its impression tracking.
  void setNativeAd(const std::shared_ptr<ZUMNativeAd>& ad);
  std::shared_ptr<ZUMNativeAdViewPolicyDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMNativeAdViewPolicyDelegate>& delegate) { delegate_ = delegate; }

  // Replaces every asset view at once (publisher-owned ad views).
  void setAssetViews(const std::vector<std::pair<std::string, ViewPtr>>& assetViews);
  // Replaces one asset view and the caller's weak field that names it (template views'
  // setters); nothing when `field` is absent or already holds `view`.
  void replaceAssetWithName(const std::string& name, const ViewPtr& view, std::weak_ptr<platform::View>* field);

  // Takes the recognizers off the ad view, then (on a coming turn) stops impression
  // monitoring and finishes active-view reporting.
  void unregisterAdView();
  // The template views' layout and superview callbacks.
  void adViewDidLayoutSubviews();
  void adViewDidMoveToSuperview();

  Json nativeAdSignalDictionary();
  Json tapHandlingEnvironment(platform::Point location, const std::string& tappedViewName);

  // What a tap at `location` (ad-view coordinates) hits: the attribution icon or text of a
  // shown AdChoices content view, else the first shown asset view under it (the AdChoices
  // asset skipped), else the ad view under the background name.
  std::pair<ViewPtr, std::string> clickTargetAtLocation(platform::Point location);

  // Both recognizers recognize along with others attached to the same ad view (with any
  // other when the indiscriminate-recognition default is on).
  bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(platform::GestureRecognizer& recognizer,
                                                                           platform::GestureRecognizer& other) override;

  // ZUMImpressionMonitorDelegate
  void impressionMonitorDidMonitorImpression(ZUMImpressionMonitor& monitor) override;
  // ZUMActiveViewMonitorDelegate: each sample is reported to the lent SDK-core page.
  void activeViewMonitorDidRefresh(ZUMActiveViewMonitor& monitor) override;
  // ZUMAdViewActiveViewMonitoring: the SDK-core page's stop with reason 1 (it no longer
  // tracks this unit) ends reporting; the policy never takes a start.
  void activeViewVisibilityChanged(bool visible) override;
  bool activeViewMonitoringStarted(std::uint64_t receiver) override;
  void activeViewMonitoringDidStop(std::uint64_t reason) override;
  bool isReportingActiveView() const { return activeViewMonitor_ != nullptr; }

  ViewPtr adView() const { return adView_.lock(); }
  bool isMonitoringImpression() const { return impressionMonitor_ != nullptr; }
  const std::shared_ptr<ZUMAdExposureMonitor>& adExposureMonitor() const { return adExposureMonitor_; }
  bool isAdViewOwnedByPublisher() const { return isAdViewOwnedByPublisher_; }
  const ViewPtr& adChoicesContentView() const { return adChoicesContentView_; }
  std::int64_t adChoicesViewCorner() const { return adChoicesViewCorner_; }
  const std::vector<std::shared_ptr<platform::LayoutConstraint>>& adChoicesViewConstraints() const {
    return adChoicesViewConstraints_;
  }
  bool shouldAllowPublisherRenderAdChoices() const { return shouldAllowPublisherRenderAdChoices_; }

 private:
  ZUMNativeAdViewPolicy(const ViewPtr& adView, std::string iconName, std::string textName, std::string backgroundName,
                        bool publisherOwned);

  void addUserInteractionToAdView();
  void handleTap(platform::GestureRecognizer& recognizer);
  bool nativeAdHasVideo() const;
  void beginObservingVideoClickNotifications();
  void handleVideoClickNotification(const platform::Notification& notification);
  // Template views place the ad's AdChoices content view in its corner (or hand it to
  // the host's AdChoices view) and its overlay over the whole ad view, overlay on top.
  void updateAdChoicesView();
  void constrainAdChoicesViewToCorner();
  void updateOverlay();
  void orderViews();
  void handleImpressionTracking();
  void checkForImpression();
  void startImpressionMonitoring();
  void stopImpressionMonitoring();
  void recordImpression();
  void finishAdExposureMonitoring();
  // After the impression, while the ad has active-view configurations: samples the ad
  // view and reports them through a lent SDK-core page until finished.
  void startActiveViewReportingIfEnabled();
  void enqueueJSCommandWithUnloaded(bool unloaded);
  void finishActiveViewReporting();
  void removeApplicationObservers();
  // Asset views in registration order, their dead entries dropped.
  std::vector<std::pair<ViewPtr, std::string>> liveAssetViews();
  void forgetAssetView(const platform::View* view);
  void updateAdChoicesContentView();
  Json signalDictionaryWithAssetView(const platform::View& view, const platform::View& adView) const;

  ViewPtr adChoicesContentView_;
  std::weak_ptr<platform::View> weakAdChoicesViewFromPublisher_;
  std::weak_ptr<platform::View> adView_;
  std::vector<std::pair<std::weak_ptr<platform::View>, std::string>> assetViewAssetNames_;
  std::string attributionIconAssetName_;
  std::string attributionTextAssetName_;
  std::string backgroundAssetName_;
  std::weak_ptr<ZUMOverlayView> overlayView_;
  std::int64_t adChoicesViewCorner_ = 0;
  std::vector<std::shared_ptr<platform::LayoutConstraint>> adChoicesViewConstraints_;
  bool shouldAllowPublisherRenderAdChoices_ = false;
  std::shared_ptr<ZUMImpressionMonitor> impressionMonitor_;
  std::shared_ptr<ZUMAdExposureMonitor> adExposureMonitor_;
  std::shared_ptr<ZUMActiveViewMonitor> activeViewMonitor_;
  std::uint64_t activeViewID_ = 0;
  std::shared_ptr<ZUMActiveViewWebView> SDKCoreWebView_;
  std::vector<std::shared_ptr<const void>> applicationObservers_;
  bool isAdViewOwnedByPublisher_ = false;
  std::weak_ptr<ZUMNativeAdTapGestureRecognizer> singleTap_;
  std::weak_ptr<ZUMGestureRecognizer> touchGestureRecognizer_;
  std::weak_ptr<ZUMNativeAdViewPolicyDelegate> delegate_;
  std::shared_ptr<ZUMNativeAd> nativeAd_;
};
