#include "sdk/mediation/ZUMMAdapterCustomEvents.h"

#include <nlohmann/json.hpp>

#include "ZUMCustomEventExtras.h"
#include "ZUMCustomEventRequest.h"
#include "ZUMMAdNetworkConnector.h"
#include "ZUMRequest.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"

using Json = nlohmann::ordered_json;

namespace {

struct CustomEventsClass final : ZUMMAdapterClass {
  std::optional<std::string> adapterVersion() const override { return ZUMRequest::sdkVersion(); }
  std::optional<std::string> networkExtrasClass() const override { return ZUMCustomEventExtras::kClassName; }
  std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& connector) const override {
    return ZUMMAdapterCustomEvents::create(connector);
  }
};

bool isNativeConnector(const ZUMMAdNetworkConnector& connector) {
  return dynamic_cast<const ZUMMAdNetworkConnectorNativeAd*>(&connector) != nullptr;
}

}  // namespace

std::shared_ptr<ZUMMAdapterCustomEvents> ZUMMAdapterCustomEvents::create(const std::shared_ptr<Connector>& connector) {
  return std::shared_ptr<ZUMMAdapterCustomEvents>(new ZUMMAdapterCustomEvents(connector));
}

ZUMMAdapterCustomEvents::~ZUMMAdapterCustomEvents() { stopBeingDelegate(); }

void ZUMMAdapterCustomEvents::registerClass() {
  ZUMMRegisterAdapterClass(
      kZUMMAdapterCustomEventsClassName, std::make_shared<CustomEventsClass>(),
      {.protocols = {kZUMMAdNetworkAdapterProtocol},
       .operations = {kZUMMGetBannerWithSizeOperation, kZUMMGetInterstitialOperation, kZUMMGetNativeAdOperation,
                      kZUMMHandlesUserClicksOperation, kZUMMHandlesUserImpressionsOperation},
       .classOperations = {kZUMMAdapterVersionOperation, kZUMMNetworkExtrasClassOperation},
       .initialisers = {kZUMMInitWithAdNetworkConnector}});
}

std::shared_ptr<ZUMMAdapterCustomEvents::Connector> ZUMMAdapterCustomEvents::connector() const {
  std::lock_guard lock(mutex_);
  return connector_.lock();
}

void ZUMMAdapterCustomEvents::failWithMessage(Connector& connector, const std::string& message, bool log) {
  if (log) ZUMLogger::sharedInstance()->logPublicMessage(message);
  connector.adapterDidFailAd(*this, ZUMMakeErrorWithDomain(kZUMMCustomEventsErrorDomain, 1, message));
}

template <class Kind>
std::shared_ptr<Kind> ZUMMAdapterCustomEvents::customEventWithCredentials(
    Connector& connector, const Json& credentials, std::string (*notOfKind)(const std::string&)) {
  auto className = ZUMJSONStringForKey(credentials, "class_name");
  if (!className) {
    failWithMessage(connector, "No class name for the Custom Event.", false);
    return nullptr;
  }
  // Only a class the app registered as a custom event is ever made.
  auto customEvent = platform::ClassRegistry::shared().create<ZUMCustomEvent>(*className);
  if (!customEvent) {
    failWithMessage(connector, "Cannot find Custom Event class named " + *className + ".", true);
    return nullptr;
  }
  auto ofKind = std::dynamic_pointer_cast<Kind>(customEvent);
  if (!ofKind) failWithMessage(connector, notOfKind(*className), true);
  return ofKind;
}

void ZUMMAdapterCustomEvents::getBannerWithSize(const ZUMAdSize& size) {
  platform::assertMainThread();
  auto target = connector();
  if (!target) return;
  const Json credentials = target->credentials();
  auto banner = customEventWithCredentials<ZUMCustomEventBanner>(*target, credentials, [](const std::string& name) {
    return "Custom Event class " + name + " does not conform to the " + kZUMCustomEventBannerProtocol + " protocol.";
  });
  if (!banner) return;
  customEventBanner_ = banner;
  banner->setDelegate(std::weak_ptr<ZUMCustomEventBannerDelegate>(shared_from_this()));
  banner->requestBannerAd(size, ZUMJSONStringForKey(credentials, "parameter"),
                          ZUMJSONStringForKey(credentials, "label"), ZUMCustomEventRequest::create(*target));
}

void ZUMMAdapterCustomEvents::getInterstitial() {
  platform::assertMainThread();
  auto target = connector();
  if (!target) return;
  const Json credentials = target->credentials();
  auto interstitial =
      customEventWithCredentials<ZUMCustomEventInterstitial>(*target, credentials, [](const std::string& name) {
        return "Custom Event class " + name + " does not conform to the " + kZUMCustomEventInterstitialProtocol +
               " protocol.";
      });
  if (!interstitial) return;
  customEventInterstitial_ = interstitial;
  interstitial->setDelegate(std::weak_ptr<ZUMCustomEventInterstitialDelegate>(shared_from_this()));
  interstitial->requestInterstitialAdWithParameter(ZUMJSONStringForKey(credentials, "parameter"),
                                                   ZUMJSONStringForKey(credentials, "label"),
                                                   ZUMCustomEventRequest::create(*target));
}

bool ZUMMAdapterCustomEvents::getNativeAdWithAdTypes(const std::vector<std::string>& adTypes,
                                                     const std::vector<std::any>& options) {
  platform::assertMainThread();
  auto target = connector();
  if (!target) return true;
  if (!isNativeConnector(*target)) {
    failWithMessage(*target,
                    "Connector used ZUMMAdNetworkConnectorNativeAd isn't a valid connector for requesting native ad",
                    false);
    return true;
  }
  const Json credentials = target->credentials();
  auto nativeAd = customEventWithCredentials<ZUMCustomEventNativeAd>(*target, credentials, [](const std::string& name) {
    return "Custom event class " + name + " doesn't implement method " + kZUMCustomEventRequestNativeAdOperation + ".";
  });
  if (!nativeAd) return true;
  auto request = ZUMCustomEventRequest::create(*target);
  customEventNativeAd_ = nativeAd;
  nativeAd->setDelegate(std::weak_ptr<ZUMCustomEventNativeAdDelegate>(shared_from_this()));
  nativeAd->requestNativeAdWithParameter(ZUMJSONStringForKey(credentials, "parameter"), request, adTypes, options,
                                         target->viewControllerForPresentingModalView());
  return true;
}

void ZUMMAdapterCustomEvents::stopBeingDelegate() {
  {
    std::lock_guard lock(mutex_);
    connector_.reset();
  }
  // The native custom event too: after this nothing may reach the connector.
  if (customEventBanner_) customEventBanner_->setDelegate({});
  if (customEventInterstitial_) customEventInterstitial_->setDelegate({});
  if (customEventNativeAd_) customEventNativeAd_->setDelegate({});
}

void ZUMMAdapterCustomEvents::presentInterstitialFromRootViewController(
    const std::shared_ptr<platform::ViewController>& controller) {
  if (customEventInterstitial_) customEventInterstitial_->presentFromRootViewController(controller);
}

std::optional<bool> ZUMMAdapterCustomEvents::handlesUserClicks() {
  return customEventNativeAd_ && customEventNativeAd_->handlesUserClicks();
}

std::optional<bool> ZUMMAdapterCustomEvents::handlesUserImpressions() {
  return customEventNativeAd_ && customEventNativeAd_->handlesUserImpressions();
}

// --- Relays ------------------------------------------------------------------------------

void ZUMMAdapterCustomEvents::customEventBannerDidReceiveAd(ZUMCustomEventBanner&,
                                                            const std::shared_ptr<platform::View>& view) {
  relay([&](Connector& c) { c.adapterDidReceiveAdView(*this, view); });
}
void ZUMMAdapterCustomEvents::customEventBannerDidFailAd(ZUMCustomEventBanner&, const platform::ErrorPtr& error) {
  relay([&](Connector& c) { c.adapterDidFailAd(*this, error); });
}
void ZUMMAdapterCustomEvents::customEventBannerWasClicked(ZUMCustomEventBanner&) {
  relay([&](Connector& c) { c.adapterDidGetAdClick(*this); });
}
void ZUMMAdapterCustomEvents::customEventBannerClickDidOccurInAd(ZUMCustomEventBanner&,
                                                                 const std::shared_ptr<platform::View>&) {
  relay([&](Connector& c) { c.adapterDidGetAdClick(*this); });
}
void ZUMMAdapterCustomEvents::customEventBannerWillPresentModal(ZUMCustomEventBanner&) {
  relay([&](Connector& c) { c.adapterWillPresentFullScreenModal(*this); });
}
void ZUMMAdapterCustomEvents::customEventBannerWillDismissModal(ZUMCustomEventBanner&) {
  relay([&](Connector& c) { c.adapterWillDismissFullScreenModal(*this); });
}
void ZUMMAdapterCustomEvents::customEventBannerDidDismissModal(ZUMCustomEventBanner&) {
  relay([&](Connector& c) { c.adapterDidDismissFullScreenModal(*this); });
}
void ZUMMAdapterCustomEvents::customEventBannerWillLeaveApplication(ZUMCustomEventBanner&) {
  relay([&](Connector& c) { c.adapterWillLeaveApplication(*this); });
}
std::shared_ptr<platform::ViewController> ZUMMAdapterCustomEvents::viewControllerForPresentingModalView() {
  auto target = connector();
  return target ? target->viewControllerForPresentingModalView() : nullptr;
}
void ZUMMAdapterCustomEvents::customEventInterstitialDidReceiveAd(ZUMCustomEventInterstitial&) {
  relay([&](Connector& c) { c.adapterDidReceiveInterstitial(*this); });
}
void ZUMMAdapterCustomEvents::customEventInterstitialDidReceiveAdObject(ZUMCustomEventInterstitial&,
                                                                        const std::shared_ptr<void>&) {
  relay([&](Connector& c) { c.adapterDidReceiveInterstitial(*this); });
}
void ZUMMAdapterCustomEvents::customEventInterstitialDidFailAd(ZUMCustomEventInterstitial&,
                                                               const platform::ErrorPtr& error) {
  relay([&](Connector& c) { c.adapterDidFailAd(*this, error); });
}
void ZUMMAdapterCustomEvents::customEventInterstitialWasClicked(ZUMCustomEventInterstitial&) {
  relay([&](Connector& c) { c.adapterDidGetAdClick(*this); });
}
void ZUMMAdapterCustomEvents::customEventInterstitialWillPresent(ZUMCustomEventInterstitial&) {
  relay([&](Connector& c) { c.adapterWillPresentInterstitial(*this); });
}
void ZUMMAdapterCustomEvents::customEventInterstitialWillDismiss(ZUMCustomEventInterstitial&) {
  relay([&](Connector& c) { c.adapterWillDismissInterstitial(*this); });
}
void ZUMMAdapterCustomEvents::customEventInterstitialDidDismiss(ZUMCustomEventInterstitial&) {
  relay([&](Connector& c) { c.adapterDidDismissInterstitial(*this); });
}
void ZUMMAdapterCustomEvents::customEventInterstitialWillLeaveApplication(ZUMCustomEventInterstitial&) {
  relay([&](Connector& c) { c.adapterWillLeaveApplication(*this); });
}
void ZUMMAdapterCustomEvents::customEventNativeAdDidReceiveMediatedNativeAd(
    ZUMCustomEventNativeAd&, const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  auto target = connector();
  if (!target) return;
  if (isNativeConnector(*target)) {
    target->adapterDidReceiveMediatedNativeAd(*this, ad);
  } else {
    target->adapterDidFailAd(
        *this,
        ZUMMakeErrorWithDescription(11, "Native ad response received for connector which can't processed native ad."));
  }
}
void ZUMMAdapterCustomEvents::customEventNativeAdDidFailToLoadWithError(ZUMCustomEventNativeAd&,
                                                                        const platform::ErrorPtr& error) {
  relay([&](Connector& c) { c.adapterDidFailAd(*this, error); });
}
