#include "sdk/native/ZUMMediatedNativeAdImpl.h"

#include "ZUMAdLoader.h"
#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMMediatedNativeContentAd.h"
#include "ZUMMediatedNativeCustomTemplateAd.h"
#include "ZUMNativeAd.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/native/ZUMNativeAdClass.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMSlot.h"

ZUMMediatedNativeAdImpl::~ZUMMediatedNativeAdImpl() {
  // The network stops tracking a view the ad no longer stands behind.
  auto view = renderedView();
  auto delegate = networkDelegate();
  if (view && delegate) delegate->mediatedNativeAdDidUntrackView(*ad_, view);
}

std::optional<std::string> ZUMMediatedNativeAdImpl::nativeAdClass() const {
  const ZUMMediatedNativeAd* ad = ad_.get();
  // The first-party network hands over the SDK's own ads, whatever protocols they adopt.
  if (const auto* own = dynamic_cast<const ZUMNativeAd*>(ad)) return own->loadableClassName();
  if (dynamic_cast<const ZUMMediatedNativeAppInstallAd*>(ad)) return kZUMNativeAppInstallAdClassName;
  if (dynamic_cast<const ZUMMediatedNativeContentAd*>(ad)) return kZUMNativeContentAdClassName;
  if (dynamic_cast<const ZUMMediatedNativeCustomTemplateAd*>(ad)) return kZUMNativeCustomTemplateAdClassName;
  return std::nullopt;
}

std::shared_ptr<ZUMLoadable> ZUMMediatedNativeAdImpl::loadableAdForAdLoader(ZUMAdLoader& loader) {
  platform::assertMainThread();
  const auto className = nativeAdClass();
  if (!className) return nullptr;
  auto nativeAd = std::dynamic_pointer_cast<ZUMNativeAd>(ad_);
  if (nativeAd && nativeAd->loadableClassName() == className) {
    // The first-party network hands over the SDK's own ad: it is used as it is.
    ad_ = nullptr;
    nativeAd->setMediatedNativeAd(shared_from_this());
    nativeAd->setAdNetworkClassName(adNetworkClassName());
  } else {
    const auto& configuration = loader.adLoaderConfiguration();
    const auto options = configuration ? configuration->options().value_or(ZUMAdConfiguration::Options{})
                                       : ZUMAdConfiguration::Options{};
    auto classObject = std::dynamic_pointer_cast<ZUMNativeAdClass>(ZUMLoadableClassNamed(*className));
    nativeAd = classObject ? classObject->adWithMediatedNativeAd(shared_from_this(), options) : nullptr;
    if (!nativeAd) return nullptr;
  }
  nativeAd->setAdUnitID(loader.adUnitID());
  if (const auto& slot = nativeAd->slot()) slot->setAdUnitID(loader.adUnitID());
  nativeAd->setRootViewController(loader.rootViewController().value_or(nullptr));
  nativeAd->setPublisherRenderAdChoicesAllowed(allowPublisherRenderedAttribution_);
  return nativeAd;
}

// --- Reporting ----------------------------------------------------------------------------

std::shared_ptr<ZUMMediatedNativeAdDelegate> ZUMMediatedNativeAdImpl::networkDelegate() const {
  return ad_ ? ad_->mediatedNativeAdDelegate() : nullptr;
}

void ZUMMediatedNativeAdImpl::reportImpression() {
  platform::assertMainThread();
  if (adapterHandlesUserImpressions_) return;
  runImpressionHandlers();
  if (auto delegate = networkDelegate()) delegate->mediatedNativeAdDidRecordImpression(*ad_);
}

void ZUMMediatedNativeAdImpl::reportClickOnAssetWithName(
    const std::string& assetName, const std::shared_ptr<platform::View>& view,
    const std::shared_ptr<platform::ViewController>& viewController) {
  platform::assertMainThread();
  if (adapterHandlesUserClicks_) return;
  runClickHandlers();
  if (auto delegate = networkDelegate()) {
    delegate->mediatedNativeAdDidRecordClickOnAssetWithName(*ad_, assetName, view, viewController);
  }
}

void ZUMMediatedNativeAdImpl::reportAdNetworkImpression() {
  if (adapterHandlesUserImpressions_) runImpressionHandlers();
}

void ZUMMediatedNativeAdImpl::reportAdNetworkClick() {
  if (adapterHandlesUserClicks_) runClickHandlers();
}

void ZUMMediatedNativeAdImpl::reportMediatedAdRenderedInView(
    const std::shared_ptr<platform::View>& view, const std::shared_ptr<platform::ViewController>& viewController) {
  platform::assertMainThread();
  auto previous = renderedView();
  if (!view || view == previous) return;
  if (previous) untrack(previous);
  renderedView_ = view;
  if (auto delegate = networkDelegate()) delegate->mediatedNativeAdDidRenderInView(*ad_, view, viewController);
}

void ZUMMediatedNativeAdImpl::reportMediatedAdShouldUntrackView(const std::shared_ptr<platform::View>& view) {
  platform::assertMainThread();
  if (view && view == renderedView()) untrack(view);
}

void ZUMMediatedNativeAdImpl::untrack(const std::shared_ptr<platform::View>& view) {
  renderedView_.reset();
  if (auto delegate = networkDelegate()) delegate->mediatedNativeAdDidUntrackView(*ad_, view);
}
