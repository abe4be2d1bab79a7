// The publisher banner's ad-loader side: its class object and the two operations every
// ad of a loader offers.
#include "PXRBannerView.h"

#include <nlohmann/json.hpp>

#include "PXRBannerAdLoaderDelegate.h"
#include "ZUMAdLoader.h"
#include "platform/base/DispatchQueue.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/formats/PXRBannerViewLoadableClass.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"

namespace {

std::vector<ZUMAdSize> validBannerSizes(ZUMAdLoader& loader) {
  auto delegate = std::dynamic_pointer_cast<PXRBannerAdLoaderDelegate>(loader.delegate());
  return delegate ? delegate->validBannerSizesForAdLoader(loader) : std::vector<ZUMAdSize>{};
}

}  // namespace

void PXRBannerViewLoadableClass::registerClass() {
  ZUMRegisterLoadableClass(kZUMPublisherBannerViewClassName, std::make_shared<PXRBannerViewLoadableClass>());
}

bool PXRBannerViewLoadableClass::delegateConformsToRequiredProtocol(const ZUMAdLoaderDelegate& delegate) const {
  return dynamic_cast<const PXRBannerAdLoaderDelegate*>(&delegate) != nullptr;
}

std::optional<nlohmann::ordered_json> PXRBannerViewLoadableClass::requestParametersForAdLoader(
    ZUMAdLoader& loader) const {
  const auto sizes = validBannerSizes(loader);
  if (sizes.empty()) return nlohmann::ordered_json::object();
  auto texts = nlohmann::ordered_json::array();
  for (const auto& size : sizes) texts.push_back(ZUMAdSizeDescription(size));
  return nlohmann::ordered_json{{"allowed_response_types", {"iba"}}, {"sz_array", std::move(texts)}};
}

std::vector<ZUMAdSize> PXRBannerViewLoadableClass::validAdSizesForAdLoader(ZUMAdLoader& loader) const {
  return validBannerSizes(loader);
}

bool PXRBannerViewLoadableClass::canInitWithAdLoader(ZUMAdLoader& loader, platform::ErrorPtr* error) const {
  if (!validBannerSizes(loader).empty()) return true;
  if (error) {
    *error =
        ZUMMakeErrorWithDescription(kZUMErrorInvalidArgument, "Must provide at least one ad size to load banner ads.");
  }
  return false;
}

std::shared_ptr<ZUMMAdNetworkConnectorImpl> PXRBannerViewLoadableClass::mediationConnectorForConfiguration(
    const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) const {
  if (!networkConfig || networkConfig->responseType() != "banner") return nullptr;
  return ZUMMAdNetworkConnectorBanner::create(config, networkConfig);
}

void PXRBannerView::loadAssetsWithCompletionHandler(std::function<void(const platform::ErrorPtr&)> completion) {
  // Nothing to preload.
  platform::DispatchQueue::main()->async([completion = std::move(completion)] {
    if (completion) completion(nullptr);
  });
}

void PXRBannerView::adLoaderDidReceiveAd(ZUMAdLoader& loader) {
  ZUMRunOnMainThread(
      [loader = loader.shared_from_this(), self = std::static_pointer_cast<PXRBannerView>(shared_from_this())] {
        if (auto delegate = std::dynamic_pointer_cast<PXRBannerAdLoaderDelegate>(loader->delegate())) {
          delegate->adLoaderDidReceivePXRBannerView(*loader, self);
        }
      });
}
