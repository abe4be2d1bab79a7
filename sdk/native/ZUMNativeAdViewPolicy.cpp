#include "sdk/native/ZUMNativeAdViewPolicy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ZUMAdChoicesView.h"
#include "ZUMMediaContentDisplaying.h"
#include "ZUMMediaView.h"
#include "ZUMNativeAd.h"
#include "ZUMVideoControlling.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Color.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextView.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/native/ZUMNativeAdAttributionView.h"
#include "sdk/native/ZUMOverlayView.h"
#include "sdk/rendering/ZUMActiveViewWebView.h"
#include "sdk/rendering/ZUMNativeAdVideoClickTOLMHandler.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/telemetry/ZUMAdExposureMonitor.h"

using platform::Point;
using platform::Rect;
using platform::View;

namespace {

std::uint32_t componentByte(double component) {
  if (!std::isfinite(component)) {
    component = component > 0 ? 1.0 : 0.0;  // +inf is full, -inf and NaN are none
  }
  return static_cast<std::uint32_t>(std::clamp(component, 0.0, 1.0) * 255.0);
}

nlohmann::ordered_json rectRelativeTo(const Rect& rect, const char* relativeTo) {
  auto dictionary = ZUMDictionaryFromRect(rect);
  dictionary["relative_to"] = relativeTo;
  return dictionary;
}

nlohmann::ordered_json sizeDictionary(platform::Size size) { return {{"width", size.width}, {"height", size.height}}; }

// A media view takes touches (it plays and reports its own clicks); every other asset
// view lets them fall through to the ad view's recognizer.
void prepareAssetView(View& view) {
  const bool isMediaView = dynamic_cast<ZUMMediaView*>(&view) != nullptr;
  if (view.isUserInteractionEnabled() == isMediaView) {
    return;
  }
  view.setUserInteractionEnabled(isMediaView);
  const std::string description = view.description();
  ZUMLogger::sharedInstance()->logPublicMessage(
      isMediaView ? "User interactions must be enabled on the ZUMMediaView view to enable media interaction.\n"
                    "userInteractionEnabled has been set to YES on " +
                        description + "."
                  : "User interactions must be disabled on the asset view to enable click handling.\n"
                    "userInteractionEnabled has been set to NO on " +
                        description + ".");
}

}  // namespace

std::uint32_t ZUMNativeColorNumber(const platform::Color& color) {
  return componentByte(color.redComponent()) << 24 | componentByte(color.greenComponent()) << 16 |
         componentByte(color.blueComponent()) << 8 | componentByte(color.alpha());
}

std::string ZUMNativeFontSizeString(double pointSize) {
  if (!std::isfinite(pointSize)) {
    pointSize = 0;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6f", pointSize);
  std::string text = buffer;
  text.erase(text.find_last_not_of('0') + 1);
  if (!text.empty() && text.back() == '.') {
    text.pop_back();
  }
  return text;
}

std::shared_ptr<ZUMNativeAdViewPolicy> ZUMNativeAdViewPolicy::create(const ViewPtr& adView,
                                                                     std::string attributionIconAssetName,
                                                                     std::string attributionTextAssetName,
                                                                     std::string backgroundAssetName,
                                                                     bool isAdViewOwnedByPublisher) {
  platform::assertMainThread();
  if (!adView) {
    return nullptr;
  }
  std::shared_ptr<ZUMNativeAdViewPolicy> policy(
      new ZUMNativeAdViewPolicy(adView, std::move(attributionIconAssetName), std::move(attributionTextAssetName),
                                std::move(backgroundAssetName), isAdViewOwnedByPublisher));
  policy->addUserInteractionToAdView();
  return policy;
}

std::shared_ptr<ZUMNativeAdTapGestureRecognizer> ZUMNativeAdTapGestureRecognizer::create() {
  return std::shared_ptr<ZUMNativeAdTapGestureRecognizer>(new ZUMNativeAdTapGestureRecognizer());
}

void ZUMNativeAdViewPolicy::addUserInteractionToAdView() {
  const auto adView = adView_.lock();
  // An ad view is watched by one policy at a time.
  for (const auto& recognizer : adView->gestureRecognizers()) {
    if (const auto tap = std::dynamic_pointer_cast<ZUMNativeAdTapGestureRecognizer>(recognizer)) {
      if (const auto previous = tap->nativeAdViewPolicy) {
        previous->unregisterAdView();
      }
      break;
    }
  }
  adView->setUserInteractionEnabled(true);
  auto self = shared_from_this();
  auto singleTap = ZUMNativeAdTapGestureRecognizer::create();
  singleTap->addTarget(self, &ZUMNativeAdViewPolicy::handleTap);
  singleTap->nativeAdViewPolicy = self;
  singleTap->setDelegate(self);
  singleTap_ = singleTap;
  auto touch = ZUMGestureRecognizer::create();
  touch->setDelegate(self);
  touchGestureRecognizer_ = touch;
  adView->addGestureRecognizer(singleTap);
  adView->addGestureRecognizer(touch);
}

void ZUMNativeAdViewPolicy::unregisterAdView() {
  platform::assertMainThread();
  // Keeps this policy alive while its last owner, the tap recognizer, is removed.
  const auto self = shared_from_this();
  if (const auto adView = adView_.lock()) {
    if (const auto tap = singleTap_.lock()) {
      adView->removeGestureRecognizer(tap);
    }
    if (const auto touch = touchGestureRecognizer_.lock()) {
      adView->removeGestureRecognizer(touch);
    }
  }
  // Also once the ad view is gone: the lent SDK-core page goes back and hears the end.
  platform::DispatchQueue::main()->async([weak = weak_from_this()] {
    if (const auto self = weak.lock()) {
      self->stopImpressionMonitoring();
      self->finishActiveViewReporting();
    }
  });
}

bool ZUMNativeAdViewPolicy::gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
    platform::GestureRecognizer& recognizer, platform::GestureRecognizer& other) {
  if (ZUMUserDefaults::boolForKey(kZUMNativeIndiscriminateRecognitionKey).value_or(false)) {
    return true;
  }
  const auto adView = adView_.lock();
  return adView && recognizer.view() == adView && other.view() == adView;
}

bool ZUMNativeAdViewPolicy::nativeAdHasVideo() const {
  const auto content = nativeAd_ ? nativeAd_->mediaContent() : nullptr;
  const auto controller = content ? content->videoController() : nullptr;
  return controller && controller->hasVideoContent();
}

void ZUMNativeAdViewPolicy::handleTap(platform::GestureRecognizer& recognizer) {
  platform::assertMainThread();
  const auto adView = adView_.lock();
  if (recognizer.state() != platform::GestureRecognizer::Recognized || !adView || !nativeAd_ ||
      nativeAd_->publisherClickReportingAllowed()) {
    return;  // an ad whose host reports its own clicks ignores taps
  }
  const Point location = recognizer.locationInView(adView.get());
  auto [view, name] = clickTargetAtLocation(location);
  if (ZUMNativeAssetNameIsMediaView(name) && nativeAdHasVideo()) {
    return;  // the media view reports its own clicks
  }
  const auto ad = nativeAd_;  // the click may reach the host, which may replace the ad
  ad->performClickOnView(view, name, tapHandlingEnvironment(location, name));
}

void ZUMNativeAdViewPolicy::beginObservingVideoClickNotifications() {
  auto& center = platform::NotificationCenter::defaultCenter();
  center.removeObserver(this, kZUMNativeAdVideoClickNotification, nullptr);
  if (!nativeAd_ || !nativeAd_->mediaContent()) {
    return;
  }
  // An ad is usually shown before its page's player holds the video, when its media view
  // is not yet the page's: the sender is checked as each click arrives.
  center.addObserver(shared_from_this(),
                     ZUMBindWeak(weak_from_this(), &ZUMNativeAdViewPolicy::handleVideoClickNotification),
                     kZUMNativeAdVideoClickNotification, nullptr);
}

void ZUMNativeAdViewPolicy::handleVideoClickNotification(const platform::Notification& notification) {
  const auto adView = adView_.lock();
  if (!adView || !nativeAd_ || !nativeAdHasVideo()) {
    return;
  }
  // Only the ad's own media view: another ad's video click is not this ad's.
  const auto mediaView = nativeAd_->mediaContent()->mediaView();
  if (!mediaView || notification.object() != mediaView) {
    return;
  }
  for (const auto& [view, name] : liveAssetViews()) {
    if (!ZUMNativeAssetNameIsMediaView(name)) {
      continue;
    }
    // The page's point is untrusted: what is not a finite number counts as 0.
    auto coordinate = [&](std::string_view key) {
      const double value = ZUMJSONDoubleForKey(notification.userInfo(), key, 0.0, ZUMJSONStrings::Read);
      return std::isfinite(value) ? value : 0.0;
    };
    const Point location = view->convertPointToView(Point{coordinate("touchX"), coordinate("touchY")}, adView.get());
    const auto ad = nativeAd_;
    ad->performClickOnView(view, name, tapHandlingEnvironment(location, name));
    return;
  }
}

ZUMNativeAdViewPolicy::ZUMNativeAdViewPolicy(const ViewPtr& adView, std::string iconName, std::string textName,
                                             std::string backgroundName, bool publisherOwned)
    : adView_(adView),
      attributionIconAssetName_(std::move(iconName)),
      attributionTextAssetName_(std::move(textName)),
      backgroundAssetName_(std::move(backgroundName)),
      isAdViewOwnedByPublisher_(publisherOwned) {}

ZUMNativeAdViewPolicy::~ZUMNativeAdViewPolicy() {
  finishAdExposureMonitoring();
  finishActiveViewReporting();
  if (impressionMonitor_) {
    impressionMonitor_->setDelegate(nullptr);
    impressionMonitor_->stopMonitoring();
  }
  platform::NotificationCenter::defaultCenter().removeObserver(this);
}

void ZUMNativeAdViewPolicy::setNativeAd(const std::shared_ptr<ZUMNativeAd>& ad) {
  platform::assertMainThread();
  if (ad == nativeAd_) {
    return;
  }
  const auto adView = adView_.lock();
  if (nativeAd_) {
    if (const auto delegate = delegate_.lock()) {
      delegate->nativeAdViewPolicyDidUnloadNativeAd(*this, *nativeAd_, adView.get());
    }
  }
  nativeAd_ = ad;
  adChoicesViewCorner_ = ad ? ad->attributionCorner() : 0;
  if (!isAdViewOwnedByPublisher_) {
    updateAdChoicesView();
    updateOverlay();
    orderViews();
  }
  beginObservingVideoClickNotifications();
  finishAdExposureMonitoring();
  finishActiveViewReporting();
  if (ad) {
    adExposureMonitor_ = ZUMAdExposureMonitor::create(adView, ad->adUnitID());
    if (adExposureMonitor_) {
      adExposureMonitor_->startMonitoring();
    }
  }
  platform::DispatchQueue::main()->async(
      ZUMBindWeak(weak_from_this(), &ZUMNativeAdViewPolicy::handleImpressionTracking));
}

void ZUMNativeAdViewPolicy::updateAdChoicesView() {
  if (adChoicesContentView_) {
    adChoicesContentView_->removeFromSuperview();
  }
  adChoicesContentView_ = nativeAd_ ? nativeAd_->adChoicesContentView() : nullptr;
  if (!adChoicesContentView_) {
    return;
  }
  const auto publisherView = std::dynamic_pointer_cast<ZUMAdChoicesView>(weakAdChoicesViewFromPublisher_.lock());
  shouldAllowPublisherRenderAdChoices_ = publisherView && nativeAd_->publisherRenderAdChoicesAllowed();
  if (shouldAllowPublisherRenderAdChoices_) {
    publisherView->setAdChoicesContentView(adChoicesContentView_);
    return;
  }
  const auto adView = adView_.lock();
  if (!adView) {
    return;
  }
  adChoicesContentView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  adView->addSubview(adChoicesContentView_);
  constrainAdChoicesViewToCorner();
}

void ZUMNativeAdViewPolicy::constrainAdChoicesViewToCorner() {
  using Attribute = platform::LayoutConstraint::Attribute;
  const auto adView = adView_.lock();
  adView->removeConstraints(adChoicesViewConstraints_);
  adChoicesViewConstraints_.clear();
  static constexpr std::pair<Attribute, Attribute> kCorners[] = {
      {Attribute::Top, Attribute::Right},     // 0: top right
      {Attribute::Top, Attribute::Left},      // 1: top left
      {Attribute::Bottom, Attribute::Right},  // 2: bottom right
      {Attribute::Bottom, Attribute::Left},   // 3: bottom left
  };
  if (adChoicesViewCorner_ < 0 || adChoicesViewCorner_ >= static_cast<std::int64_t>(std::size(kCorners))) {
    return;  // an unknown corner pins nothing
  }
  const auto [vertical, horizontal] = kCorners[adChoicesViewCorner_];
  for (const Attribute attribute : {vertical, horizontal}) {
    auto constraint = platform::LayoutConstraint::create(
        adChoicesContentView_, attribute, platform::LayoutConstraint::Relation::Equal, adView, attribute, 1, 0);
    adView->addConstraint(constraint);
    adChoicesViewConstraints_.push_back(std::move(constraint));
  }
}

void ZUMNativeAdViewPolicy::updateOverlay() {
  const auto overlay = nativeAd_ ? nativeAd_->overlayView() : nullptr;
  const auto held = overlayView_.lock();
  if (overlay == held) {
    return;
  }
  const auto adView = adView_.lock();
  if (held) {
    // The platform keeps a removed view's constraints in its old superview: drop the
    // old overlay's, so the ad view's constraints do not grow with every ad shown.
    if (const auto superview = held->superview()) {
      std::vector<std::shared_ptr<platform::LayoutConstraint>> fill;
      for (const auto& constraint : superview->constraints()) {
        if (constraint->firstItem() == held || constraint->secondItem() == held) {
          fill.push_back(constraint);
        }
      }
      superview->removeConstraints(fill);
    }
    held->removeFromSuperview();
  }
  overlayView_ = overlay;
  if (overlay && adView) {
    adView->addSubview(overlay);
    ZUMCenterInSuperview(overlay);  // fills the ad view
  }
}

void ZUMNativeAdViewPolicy::orderViews() {
  const auto adView = adView_.lock();
  if (!adView) {
    return;
  }
  // Bringing a view to the front that is already there, or that is not the ad view's
  // subview, changes nothing: the order is simply made again, the AdChoices view (unless
  // the host renders its own) under the overlay.
  if (!shouldAllowPublisherRenderAdChoices_ && adChoicesContentView_) {
    adView->bringSubviewToFront(adChoicesContentView_);
  }
  if (const auto overlay = overlayView_.lock()) {
    adView->bringSubviewToFront(overlay);
  }
}

void ZUMNativeAdViewPolicy::finishAdExposureMonitoring() {
  if (adExposureMonitor_) {
    adExposureMonitor_->finishMonitoring();
    adExposureMonitor_.reset();
  }
}

void ZUMNativeAdViewPolicy::handleImpressionTracking() {
  platform::assertMainThread();
  // A host that reports impressions itself gets none from the policy.
  if (!nativeAd_ || nativeAd_->publisherImpressionReportingAllowed()) {
    return;
  }
  const auto adView = adView_.lock();
  if (!adView || (!adView->superview() && !isAdViewOwnedByPublisher_)) {
    return;  // a template view counts once it is placed; a host's view may be tracked unplaced
  }
  if (!nativeAd_->hasRecordedImpression()) {
    checkForImpression();
  }
  if (const auto delegate = delegate_.lock()) {
    delegate->nativeAdViewPolicyDidBeginTrackingView(*this, *adView);
  }
}

void ZUMNativeAdViewPolicy::checkForImpression() {
  // One visible point at the check is enough; otherwise wait for the view to be seen.
  if (ZUMVisibleRectInWindow(adView_.lock()) == Rect::zero()) {
    startImpressionMonitoring();
  } else {
    recordImpression();
  }
}

void ZUMNativeAdViewPolicy::startImpressionMonitoring() {
  if (impressionMonitor_) {
    return;
  }
  impressionMonitor_ =
      ZUMImpressionMonitor::create(adView_.lock(), static_cast<std::int64_t>(ZUMImpressionDefinition::Visible));
  impressionMonitor_->setDelegate(shared_from_this());
  impressionMonitor_->startMonitoring();
}

void ZUMNativeAdViewPolicy::stopImpressionMonitoring() {
  if (impressionMonitor_) {
    impressionMonitor_->setDelegate(nullptr);
    impressionMonitor_->stopMonitoring();
    impressionMonitor_.reset();
  }
}

void ZUMNativeAdViewPolicy::impressionMonitorDidMonitorImpression(ZUMImpressionMonitor& /*monitor*/) {
  recordImpression();
}

void ZUMNativeAdViewPolicy::recordImpression() {
  stopImpressionMonitoring();
  if (nativeAd_ && !nativeAd_->hasRecordedImpression()) {
    const auto ad = nativeAd_;
    ad->recordImpressionWithEnvironment(nativeAdSignalDictionary());
  }
  startActiveViewReportingIfEnabled();
}

void ZUMNativeAdViewPolicy::startActiveViewReportingIfEnabled() {
  if (!nativeAd_ || !nativeAd_->hasRecordedImpression() || nativeAd_->activeViewConfigurations().empty()) {
    return;
  }
  const auto adView = adView_.lock();
  if (!activeViewMonitor_) {
    activeViewMonitor_ = ZUMActiveViewMonitor::create(adView, "native_advanced", nativeAd_->activeViewConfigurations());
    if (!activeViewMonitor_) {
      return;
    }
    activeViewMonitor_->setDelegate(shared_from_this());
    // Leaving and coming back to the foreground is measured at once.
    auto sample = [weak = weak_from_this()](const platform::Notification&) {
      const auto self = weak.lock();
      if (self && self->activeViewMonitor_) {
        self->activeViewMonitor_->sample();
      }
    };
    auto& center = platform::NotificationCenter::defaultCenter();
    applicationObservers_.push_back(
        center.addObserver(platform::kApplicationWillResignActiveNotification, nullptr, nullptr, sample));
    applicationObservers_.push_back(
        center.addObserver(platform::kApplicationDidBecomeActiveNotification, nullptr, nullptr, sample));
  }
  if (!SDKCoreWebView_) {
    activeViewID_ = ZUMApplication::sharedInstance()->nextActiveViewID();
    const auto controller = ZUMSDKCoreController::sharedInstance();
    SDKCoreWebView_ = controller ? controller->SDKCoreWebViewForActiveViewProcessing() : nullptr;
    if (SDKCoreWebView_) {
      SDKCoreWebView_->setActiveViewObserver(shared_from_this(), activeViewID_);
    }
  }
  activeViewMonitor_->sample();
  if (adView && adView->window()) {
    activeViewMonitor_->startMonitoring();
  }
}

void ZUMNativeAdViewPolicy::activeViewMonitorDidRefresh(ZUMActiveViewMonitor& monitor) {
  if (&monitor == activeViewMonitor_.get()) {
    enqueueJSCommandWithUnloaded(false);
  }
}

void ZUMNativeAdViewPolicy::enqueueJSCommandWithUnloaded(bool unloaded) {
  if (!activeViewMonitor_ || !SDKCoreWebView_) {
    return;
  }
  const auto text =
      zum_JSONStringPretty(activeViewMonitor_->activeViewStateWithID(activeViewID_, false, unloaded), false, nullptr);
  if (!text) {
    return;  // this one report is lost; the next sample makes another
  }
  SDKCoreWebView_->enqueueJavaScriptCommand("QYRA_updateActiveView(" + ZUMScriptSafeJSON(*text) + ")");
}

void ZUMNativeAdViewPolicy::removeApplicationObservers() {
  auto& center = platform::NotificationCenter::defaultCenter();
  for (const auto& token : std::exchange(applicationObservers_, {})) {
    center.removeObserver(token);
  }
}

void ZUMNativeAdViewPolicy::finishActiveViewReporting() {
  if (activeViewMonitor_) {
    enqueueJSCommandWithUnloaded(true);
    removeApplicationObservers();
    const auto monitor = std::exchange(activeViewMonitor_, nullptr);
    monitor->setDelegate(nullptr);
    monitor->stopMonitoring();
  }
  if (const auto webView = std::exchange(SDKCoreWebView_, nullptr)) {
    webView->removeActiveViewObserverForActiveViewID(activeViewID_);
    if (const auto controller = ZUMSDKCoreController::sharedInstance()) {
      controller->finishedUsingSDKCoreWebViewForActiveViewProcessing(webView);
    }
  }
}

void ZUMNativeAdViewPolicy::activeViewVisibilityChanged(bool /*visible*/) {}

bool ZUMNativeAdViewPolicy::activeViewMonitoringStarted(std::uint64_t /*receiver*/) { return false; }

void ZUMNativeAdViewPolicy::activeViewMonitoringDidStop(std::uint64_t reason) {
  if (reason == 1) {  // the SDK-core page untracked this unit or cleared every one
    finishActiveViewReporting();
  }
}

void ZUMNativeAdViewPolicy::adViewDidLayoutSubviews() {
  platform::assertMainThread();
  orderViews();
  handleImpressionTracking();
  if (activeViewMonitor_) {
    activeViewMonitor_->sample();
  }
}

void ZUMNativeAdViewPolicy::adViewDidMoveToSuperview() {
  platform::assertMainThread();
  orderViews();
  handleImpressionTracking();
  if (!activeViewMonitor_) {
    return;
  }
  const auto adView = adView_.lock();
  if (adView && adView->window()) {
    activeViewMonitor_->startMonitoring();
  } else {
    activeViewMonitor_->sample();
    activeViewMonitor_->stopMonitoring();
  }
}

void ZUMNativeAdViewPolicy::setAssetViews(const std::vector<std::pair<std::string, ViewPtr>>& assetViews) {
  platform::assertMainThread();
  assetViewAssetNames_.clear();
  weakAdChoicesViewFromPublisher_.reset();
  adChoicesContentView_.reset();
  for (const auto& [name, view] : assetViews) {
    if (!view) {
      continue;
    }
    prepareAssetView(*view);
    if (ZUMNativeAssetNameIsAdChoicesView(name)) {
      weakAdChoicesViewFromPublisher_ = view;
    }
    forgetAssetView(view.get());  // one name per view, as in a map keyed by view
    assetViewAssetNames_.emplace_back(view, name);
  }
}

void ZUMNativeAdViewPolicy::replaceAssetWithName(const std::string& name, const ViewPtr& view,
                                                 std::weak_ptr<View>* field) {
  platform::assertMainThread();
  if (!field) {
    return;
  }
  const ViewPtr old = field->lock();
  if (old == view) {
    return;
  }
  if (view) {
    prepareAssetView(*view);
  }
  *field = view;
  if (old) {
    forgetAssetView(old.get());
  }
  if (view) {
    forgetAssetView(view.get());
    assetViewAssetNames_.emplace_back(view, name);
    if (ZUMNativeAssetNameIsAdChoicesView(name)) {
      weakAdChoicesViewFromPublisher_ = view;
    }
  }
}

std::vector<std::pair<ZUMNativeAdViewPolicy::ViewPtr, std::string>> ZUMNativeAdViewPolicy::liveAssetViews() {
  std::erase_if(assetViewAssetNames_, [](const auto& entry) { return entry.first.expired(); });
  std::vector<std::pair<ViewPtr, std::string>> live;
  live.reserve(assetViewAssetNames_.size());
  for (const auto& [view, name] : assetViewAssetNames_) {
    if (auto strong = view.lock()) {
      live.emplace_back(std::move(strong), name);
    }
  }
  return live;
}

void ZUMNativeAdViewPolicy::forgetAssetView(const View* view) {
  std::erase_if(assetViewAssetNames_,
                [view](const auto& entry) { return entry.first.expired() || entry.first.lock().get() == view; });
}

void ZUMNativeAdViewPolicy::updateAdChoicesContentView() {
  if (!isAdViewOwnedByPublisher_ || adChoicesContentView_) {
    return;
  }
  const auto publisherView = weakAdChoicesViewFromPublisher_.lock();
  if (!publisherView) {
    return;
  }
  for (const auto& subview : publisherView->subviews()) {
    if (std::dynamic_pointer_cast<ZUMNativeAdAttributionView>(subview)) {
      adChoicesContentView_ = subview;
      return;
    }
  }
}

ZUMNativeAdViewPolicy::Json ZUMNativeAdViewPolicy::signalDictionaryWithAssetView(const View& view,
                                                                                 const View& adView) const {
  const auto superview = view.superview();
  const Rect frame = adView.convertRectFromView(view.frame(), superview.get());
  Json signal = Json::object();
  signal["frame"] = rectRelativeTo(frame, "ad_view");
  const bool isImageOrMedia =
      dynamic_cast<const platform::ImageView*>(&view) != nullptr || dynamic_cast<const ZUMMediaView*>(&view) != nullptr;
  if (!isImageOrMedia && view.backgroundColor()) {
    signal["background_color"] = ZUMNativeColorNumber(*view.backgroundColor());
  }
  const Rect visible = ZUMVisibleRectInView(std::const_pointer_cast<View>(view.shared_from_this()));
  if (visible.isNull() || visible.size.width == 0 || visible.size.height == 0) {
    signal["visible_bounds"] = rectRelativeTo(Rect(frame.origin.x, frame.origin.y, 0, 0), "ad_view");
  } else {
    signal["visible_bounds"] = rectRelativeTo(visible, "self");
  }
  // The views that show text answer its font, colour and string.
  if (const auto* label = dynamic_cast<const platform::Label*>(&view)) {
    signal["font_size"] = ZUMNativeFontSizeString(label->font().pointSize());
    signal["text_color"] = ZUMNativeColorNumber(label->textColor());
    if (label->text()) {
      signal["text"] = *label->text();
    }
  } else if (const auto* textView = dynamic_cast<const platform::TextView*>(&view)) {
    signal["text"] = textView->text();
  }
  return signal;
}

ZUMNativeAdViewPolicy::Json ZUMNativeAdViewPolicy::nativeAdSignalDictionary() {
  platform::assertMainThread();
  Json dictionary = Json::object();
  const auto adView = adView_.lock();
  if (!adView) {
    return dictionary;
  }
  dictionary["ad_view_signal"] = {
      {"frame", rectRelativeTo(adView->convertRectToView(adView->bounds(), nullptr), "window")}};

  Json assets = Json::object();
  for (const auto& [view, name] : liveAssetViews()) {
    if (!ZUMNativeAssetNameIsAdChoicesView(name)) {
      assets[name] = signalDictionaryWithAssetView(*view, *adView);
    }
  }
  if (const auto* attribution = dynamic_cast<ZUMNativeAdAttributionView*>(adChoicesContentView_.get());
      attribution && !attribution->isHidden()) {
    if (const auto icon = attribution->iconView()) {
      assets[attributionIconAssetName_] = signalDictionaryWithAssetView(*icon, *adView);
    }
    if (const auto text = attribution->textView()) {
      assets[attributionTextAssetName_] = signalDictionaryWithAssetView(*text, *adView);
    }
  }
  dictionary["asset_view_signal"] = std::move(assets);

  Json scrollSignal = {{"contained_in_scroll_view", 0}};
  for (auto ancestor = adView->superview(); ancestor; ancestor = ancestor->superview()) {
    if (const auto* scrollView = dynamic_cast<platform::ScrollView*>(ancestor.get())) {
      scrollSignal["contained_in_scroll_view"] = 1;
      scrollSignal["scroll_view_size"] = sizeDictionary(scrollView->bounds().size);
      scrollSignal["content_size"] = sizeDictionary(scrollView->contentSize());
      break;
    }
  }
  dictionary["scroll_view_signal"] = std::move(scrollSignal);
  return dictionary;
}

ZUMNativeAdViewPolicy::Json ZUMNativeAdViewPolicy::tapHandlingEnvironment(Point location,
                                                                          const std::string& tappedViewName) {
  Json environment = nativeAdSignalDictionary();
  // A point that is not finite would make the environment unserialisable.
  const double x = std::isfinite(location.x) ? location.x : 0.0;
  const double y = std::isfinite(location.y) ? location.y : 0.0;
  environment["click_signal"] = {{"asset_id", tappedViewName},
                                 {"click_point", {{"x", x}, {"y", y}, {"relative_to", "ad_view"}}}};
  return environment;
}

std::pair<ZUMNativeAdViewPolicy::ViewPtr, std::string> ZUMNativeAdViewPolicy::clickTargetAtLocation(Point location) {
  platform::assertMainThread();
  const auto adView = adView_.lock();
  if (!adView) {
    return {nullptr, backgroundAssetName_};
  }
  updateAdChoicesContentView();
  if (const auto attribution = std::dynamic_pointer_cast<ZUMNativeAdAttributionView>(adChoicesContentView_);
      attribution && !attribution->isHidden() &&
      attribution->convertRectToView(attribution->bounds(), adView.get()).contains(location)) {
    const Point inAttribution = attribution->convertPointFromView(location, adView.get());
    const auto icon = attribution->iconView();
    const bool onIcon = icon && icon->frame().contains(inAttribution);
    auto hit = onIcon ? std::make_pair(icon, attributionIconAssetName_)
                      : std::make_pair(attribution->textView(), attributionTextAssetName_);
    if (hit.first) {
      return hit;
    }
  }
  for (auto& [view, name] : liveAssetViews()) {
    if (ZUMNativeAssetNameIsAdChoicesView(name) || view->isHidden()) {
      continue;
    }
    const auto superview = view->superview();
    if (adView->convertRectFromView(view->frame(), superview.get()).contains(location)) {
      return {view, name};
    }
  }
  return {adView, backgroundAssetName_};
}
