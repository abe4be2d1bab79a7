#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"

#include <cmath>
#include <utility>

#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdapterClass.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLocation.h"
#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorDelegate.h"
#include "sdk/mediation/ZUMMUtilities.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/rendering/ZUMSlotResponseProcessor.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kInlinedAnnotation = "inlined in mediation response";
constexpr int kInlinedRedirectStatus = 399;

void sendPing(const ZUMMediationPing& ping) {
  ZUMClickTrackerCollection::sharedInstance()->trackMediationURLsFromTemplates(ping);
}

// A header number goes into the inlined ad's text only when it is one.
void putNumber(Json& dictionary, const char* key, double value) {
  if (std::isfinite(value)) dictionary[key] = ZUMStringFromDouble(value);
}

}  // namespace

std::shared_ptr<ZUMMAdNetworkConnectorImpl> ZUMMAdNetworkConnectorImpl::create(
    std::shared_ptr<const ZUMMConfig> config, std::shared_ptr<ZUMMAdNetworkConfig> networkConfig) {
  if (!config || !networkConfig) return nullptr;
  return std::shared_ptr<ZUMMAdNetworkConnectorImpl>(
      new ZUMMAdNetworkConnectorImpl(std::move(config), std::move(networkConfig)));
}

ZUMMAdNetworkConnectorImpl::ZUMMAdNetworkConnectorImpl(std::shared_ptr<const ZUMMConfig> config,
                                                       std::shared_ptr<ZUMMAdNetworkConfig> networkConfig)
    : mediationConfig_(std::move(config)) {
  setNetworkConfig(std::move(networkConfig));
}

ZUMMAdNetworkConnectorImpl::~ZUMMAdNetworkConnectorImpl() {
  if (adapter_) adapter_->stopBeingDelegate();
}

void ZUMMAdNetworkConnectorImpl::setNetworkConfig(std::shared_ptr<ZUMMAdNetworkConfig> networkConfig) {
  networkConfig_ = std::move(networkConfig);
  takeCredentialsOf(networkConfig_.get());
}

// --- Driven by the waterfall ---------------------------------------------------------------

void ZUMMAdNetworkConnectorImpl::setUpAdapter() {
  platform::assertMainThread();
  const std::string name = currentAdapterName();
  auto classObject = name.empty() ? nullptr : ZUMMAdapterClassNamed(name);
  adapter_ = classObject ? classObject->initWithZUMMAdNetworkConnector(shared_from_this()) : nullptr;
  relationEnded_ = false;
}

void ZUMMAdNetworkConnectorImpl::getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>&) {
  platform::assertMainThread();
  failAttempt(ZUMMakeErrorWithDescription(kZUMErrorInternalError,
                                          "Instantiated connector " + className() + " can't request an ad."));
}

void ZUMMAdNetworkConnectorImpl::askAdapterToStopBeingDelegate() {
  relationEnded_ = true;
  if (adapter_) adapter_->stopBeingDelegate();
}

std::string ZUMMAdNetworkConnectorImpl::adapterVersion() const {
  const std::string name = currentAdapterName();
  auto classObject = name.empty() ? nullptr : ZUMMAdapterClassNamed(name);
  const auto version = classObject ? classObject->adapterVersion() : std::nullopt;
  return "adapter: " + name + ", version: " + version.value_or("unknown");
}

// --- Pings ---------------------------------------------------------------------------------

void ZUMMAdNetworkConnectorImpl::reportClick() {
  if (clicked_) return;
  clicked_ = true;
  ZUMMediationPing ping = ZUMMUtilities::pingForEntry(mediationConfig_.get(), networkConfig_.get());
  ping.templates = ZUMMUtilities::joinedTemplates(mediationConfig_->clickURLs(), networkConfig_->clickURLs());
  ping.defaultTemplate = ZUMMUtilities::defaultClickTemplate();
  ping.refresh = didNetworkRefresh_;
  ping.eventType = "_ac";
  sendPing(ping);
}

void ZUMMAdNetworkConnectorImpl::reportImpression() {
  ZUMMediationPing ping = ZUMMUtilities::pingForEntry(mediationConfig_.get(), networkConfig_.get());
  if (auto current = slot()) {
    auto stats = current->slotStats();
    ping.durations = stats->adapterDurationsParameter();
    ping.exitCodes = stats->adapterExitCodesParameter();
    stats->resetTimingAdapters();
  }
  ping.templates = ZUMMUtilities::joinedTemplates(mediationConfig_->impressionURLs(), networkConfig_->impressionURLs());
  ping.defaultTemplate = ZUMMUtilities::defaultImpressionTemplate();
  ping.refresh = didNetworkRefresh_;
  ping.eventType = "_ai";
  sendPing(ping);
}

void ZUMMAdNetworkConnectorImpl::reportFill() {
  ZUMMediationPing ping = ZUMMUtilities::pingForEntry(mediationConfig_.get(), networkConfig_.get());
  if (auto current = slot()) {
    auto stats = current->slotStats();
    ping.fillStatus = stats->adapterFillStatusParameter();
    stats->resetFillStatus();
  }
  // No default: an entry without fill templates sends nothing.
  if (!networkConfig_->fillURLs()) return;
  ping.templates = networkConfig_->fillURLs();
  ping.refresh = didNetworkRefresh_;
  sendPing(ping);
}

void ZUMMAdNetworkConnectorImpl::reportManualImpression() {
  platform::NotificationCenter::defaultCenter().post(
      platform::Notification(kZUMMAdNetworkConnectorDidRecordManualImpressionNotification, shared_from_this(),
                             platform::Notification::Objects{{"adapter", adapter_}}));
}

// --- Answers -------------------------------------------------------------------------------

std::shared_ptr<ZUMSlot> ZUMMAdNetworkConnectorImpl::slot() const {
  auto manager = adManager();
  return manager ? manager->slot() : nullptr;
}

std::shared_ptr<ZUMAd> ZUMMAdNetworkConnectorImpl::slotAd() const {
  auto current = slot();
  return current ? current->ad() : nullptr;
}

std::shared_ptr<ZUMRequest> ZUMMAdNetworkConnectorImpl::answeredRequest() const {
  auto current = slot();
  return current ? current->loadingRequest() : nullptr;
}

platform::Size ZUMMAdNetworkConnectorImpl::adSize() const {
  auto ad = slotAd();
  return ad ? ad->size() : platform::Size{0, 0};
}

double ZUMMAdNetworkConnectorImpl::croppedContentThreshold() const {
  auto ad = slotAd();
  return ad ? ad->croppedContentThreshold() : 0;
}

std::optional<Json> ZUMMAdNetworkConnectorImpl::inlineAd() const {
  const Json* ad = networkConfig_->ad();
  if (!ad) return std::nullopt;
  Json inlined = *ad;
  const platform::Size size = adSize();
  putNumber(inlined, "_native_interstitial_size_width", size.width);
  putNumber(inlined, "_native_interstitial_size_height", size.height);
  putNumber(inlined, "_native_cropped_content_threshold", croppedContentThreshold());
  return inlined;
}

ZUMAd::NativeFields ZUMMAdNetworkConnectorImpl::inlineAdNativeFields() const {
  const Json* inlined = networkConfig_->ad();
  if (!inlined) return {};
  auto ad = slotAd();
  ZUMAd::NativeFields fields;
  if (ad) {
    fields.originalRequest = ad->originalRequest();
    fields.requestRedirects = ad->redirects();
  }
  // A redirect needs the URL it answered: without the ad's base URL there is none to add.
  if (!ad || !ad->adBaseURL()) return fields;
  platform::HTTPHeaderFields headers;
  if (auto responseHeaders = ad->responseHeaders()) {
    for (const auto& [name, value] : responseHeaders->items()) {
      if (auto text = ZUMJSONString(value)) headers.set(name, *text);
    }
  }
  platform::HTTPURLResponse response(*ad->adBaseURL(), kInlinedRedirectStatus, std::move(headers));
  platform::URLRequest request;
  if (auto base = ZUMJSONStringForKey(*inlined, "ad_base_url")) request.setURL(platform::URL::fromString(*base));
  request.setValue(kInlinedAnnotation, kZUMMInlinedAnnotationHeader);
  fields.requestRedirects.push_back(ZUMURLConnectionRedirect::create(std::move(response), std::move(request)));
  return fields;
}

bool ZUMMAdNetworkConnectorImpl::userHasLocation() const {
  auto request = answeredRequest();
  return isLocationShared() && request && request->location() && request->location()->hasCoordinates();
}

std::shared_ptr<platform::ViewController> ZUMMAdNetworkConnectorImpl::viewControllerForPresentingModalView() const {
  auto current = slot();
  return current ? ZUMSlotResponseProcessor::viewControllerForPresentingModalView(*current) : nullptr;
}

float ZUMMAdNetworkConnectorImpl::adVolume() const {
  return ZUMMobileAds::sharedInstance()->clampedApplicationVolume();
}

bool ZUMMAdNetworkConnectorImpl::adMuted() const { return ZUMMobileAds::sharedInstance()->applicationMuted(); }

// --- The adapter's reports -------------------------------------------------------------------

void ZUMMAdNetworkConnectorImpl::relay(const Adapter& adapter, From from, std::function<void(Self&)> step) {
  std::weak_ptr<Self> weak = weak_from_this();
  ZUMRunOnMainThread([weak, reporter = &adapter, from, step = std::move(step)] {
    auto self = weak.lock();
    // Gone, told to stop, or let go of by the waterfall: the relation has ended.
    if (!self || self->relationEnded_ || !self->adapter_ || !self->adManager()) return;
    if (from == From::kOwnAdapter && self->adapter_.get() != reporter) return;
    step(*self);
  });
}

void ZUMMAdNetworkConnectorImpl::relayLeaveApplication() {
  if (auto current = slot()) {
    auto events = ZUMSlotEventHandler::forSlot(*current);
    events->adWillLeaveApplication();
    events->willLeaveAppDueToClick();
    events->adWasClicked();
  }
  reportClick();
}

void ZUMMAdNetworkConnectorImpl::adapterDidFailAd(Adapter& adapter, const platform::ErrorPtr& error) {
  relay(adapter, From::kOwnAdapter,
        [error](Self& self) { self.handleDidFailAd(error ? error : ZUMMakeErrorWithCode(kZUMErrorInternalError)); });
}

void ZUMMAdNetworkConnectorImpl::adapterDidReceiveAdView(Adapter& adapter,
                                                         const std::shared_ptr<platform::View>& view) {
  relay(adapter, From::kOwnAdapter, [view](Self& self) {
    // No view to show is no ad.
    if (!view) return self.handleDidFailAd(ZUMMakeErrorWithCode(kZUMErrorInternalError));
    self.handleDidReceiveAdView(view);
  });
}

void ZUMMAdNetworkConnectorImpl::adapterDidReceiveInterstitial(Adapter& adapter) {
  relay(adapter, From::kOwnAdapter, [](Self& self) { self.handleDidReceiveInterstitial(); });
}

void ZUMMAdNetworkConnectorImpl::adapterDidReceiveMediatedNativeAd(Adapter& adapter,
                                                                   const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  // Asked now: the reporting adapter may be gone by the time the main thread runs.
  NativeHandling handling{adapter.handlesUserClicks(), adapter.handlesUserImpressions()};
  relay(adapter, takesNativeAdsFromAnyAdapter() ? From::kAnyAdapter : From::kOwnAdapter,
        [ad, handling](Self& self) { self.handleDidReceiveMediatedNativeAd(ad, handling); });
}

void ZUMMAdNetworkConnectorImpl::adapterDidGetAdClick(Adapter& adapter) {
  relay(adapter, From::kOwnAdapter, [](Self& self) { self.handleDidGetAdClick(); });
}

void ZUMMAdNetworkConnectorImpl::adapterWillLeaveApplication(Adapter& adapter) {
  relay(adapter, From::kAnyAdapter, [](Self& self) { self.handleWillLeaveApplication(); });
}

void ZUMMAdNetworkConnectorImpl::adapterWillPresentFullScreenModal(Adapter& adapter) {
  relay(adapter, From::kAnyAdapter, [](Self& self) { self.handleWillPresentFullScreenModal(); });
}

void ZUMMAdNetworkConnectorImpl::adapterWillDismissFullScreenModal(Adapter& adapter) {
  relay(adapter, From::kAnyAdapter, [](Self& self) { self.handleWillDismissFullScreenModal(); });
}

void ZUMMAdNetworkConnectorImpl::adapterDidDismissFullScreenModal(Adapter& adapter) {
  relay(adapter, From::kAnyAdapter, [](Self& self) { self.handleDidDismissFullScreenModal(); });
}

void ZUMMAdNetworkConnectorImpl::adapterWillPresentInterstitial(Adapter& adapter) {
  relay(adapter, From::kAnyAdapter, [](Self& self) { self.handleWillPresentInterstitial(); });
}

void ZUMMAdNetworkConnectorImpl::adapterWillDismissInterstitial(Adapter& adapter) {
  relay(adapter, From::kAnyAdapter, [](Self& self) { self.handleWillDismissInterstitial(); });
}

void ZUMMAdNetworkConnectorImpl::adapterDidDismissInterstitial(Adapter& adapter) {
  relay(adapter, From::kAnyAdapter, [](Self& self) { self.handleDidDismissInterstitial(); });
}

void ZUMMAdNetworkConnectorImpl::adapterDidReceiveInterstitialObject(Adapter& adapter, const std::shared_ptr<void>&) {
  adapterDidReceiveInterstitial(adapter);
}

void ZUMMAdNetworkConnectorImpl::adapterClickDidOccurInBanner(Adapter& adapter,
                                                              const std::shared_ptr<platform::View>&) {
  adapterDidGetAdClick(adapter);
}

void ZUMMAdNetworkConnectorImpl::adapterDidFailInterstitial(Adapter& adapter, const platform::ErrorPtr& error) {
  relay(adapter, From::kOwnAdapter, [error](Self& self) {
    self.handleDidFailInterstitial(error ? error : ZUMMakeErrorWithCode(kZUMErrorInternalError));
  });
}

bool ZUMMAdNetworkConnectorImpl::adapterDidReceiveAppEvent(Adapter& adapter, const std::string& name,
                                                           const std::string& info) {
  relay(adapter, From::kAnyAdapter, [name, info](Self& self) { self.handleDidReceiveAppEvent(name, info); });
  return true;
}
