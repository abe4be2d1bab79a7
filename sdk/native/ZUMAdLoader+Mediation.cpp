// The ad loader as the owner of a mediated response: the connector of each network
// entry, and the mediated ad turned into an ad the loader delivers.
#include "ZUMAdLoader.h"

#include <utility>

#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/native/ZUMAdLoadResults.h"
#include "sdk/native/ZUMMediatedAd.h"
#include "sdk/native/ZUMNativeMediation.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMLoadable.h"

void ZUMAdLoader::slotWillProcessMediatedAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad) {
  if (ad) ad->setMediationDelegate(shared_from_this());
}

std::shared_ptr<ZUMMAdNetworkConnectorImpl> ZUMAdLoader::mediationConnectorForConfiguration(
    const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) {
  auto mediation = ZUMNativeMediation::shared();
  if (!mediation) {
    ZUMLog(kZUMLogLevelDefault, "Native mediation is not available: the ad loader has no connector.");
    return nullptr;
  }
  const auto type = networkConfig ? mediation->responseType(*networkConfig) : std::nullopt;
  if (!type || type->empty()) return mediation->makeNativeAdConnector(config, networkConfig);
  if (!adLoaderConfiguration_) return nullptr;
  for (const auto& adClass : adLoaderConfiguration_->adTypeClasses()) {
    if (auto connector = adClass.object->mediationConnectorForConfiguration(config, networkConfig)) return connector;
  }
  return nullptr;
}

std::optional<std::shared_ptr<ZUMAdLoaderConfiguration>> ZUMAdLoader::adLoaderConfigurationForAd(
    const std::shared_ptr<ZUMAd>&, const std::shared_ptr<ZUMMAdNetworkConfig>&) {
  return adLoaderConfiguration_;
}

void ZUMAdLoader::adProcessMediatedAd(const std::shared_ptr<ZUMAd>&, const std::shared_ptr<ZUMMediatedAd>& mediatedAd,
                                      std::function<void(const platform::ErrorPtr&)> completion) {
  if (!completion) return;
  auto loadable = mediatedAd ? mediatedAd->loadableAdForAdLoader(*this) : nullptr;
  if (!loadable) {
    completion(
        ZUMMakeErrorWithDescription(kZUMErrorInternalError, "The mediated ad cannot be loaded by an ad loader."));
    return;
  }
  std::optional<ZUMAdClass> adClass;
  if (auto name = loadable->loadableClassName()) {
    if (auto object = ZUMLoadableClassNamed(*name)) adClass = ZUMAdClass{*name, std::move(object)};
  }
  auto delegate = this->delegate();
  if (auto refusal = delegate ? delegateConformanceError(*delegate, adClass) : nullptr) {
    completion(refusal);
    return;
  }
  nativeAds_.push_back(loadable);
  loadable->loadAssetsWithCompletionHandler([weak = weak_from_this(), weakAd = std::weak_ptr<ZUMLoadable>(loadable),
                                             adClass,
                                             completion = std::move(completion)](const platform::ErrorPtr& error) {
    auto self = weak.lock();
    auto ad = weakAd.lock();
    if (!self || !ad) return;
    self->releaseNativeAd(ad);
    completion(error);
    if (!error) self->adDidFinishLoadingAssets({.ad = ad, .adClass = adClass}, true);
  });
}
