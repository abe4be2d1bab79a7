#include "sdk/formats/PXRMediatedBanners.h"

#include <nlohmann/json.hpp>

#include "PXRBannerAdLoaderDelegate.h"
#include "PXRBannerView.h"
#include "PXRBannerViewOptions.h"
#include "ZUMAdLoader.h"
#include "ZUMAppEventDelegate.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"

namespace {

std::shared_ptr<PXRBannerViewOptions> bannerOptions(const ZUMAdLoader& loader) {
  const auto& configuration = loader.adLoaderConfiguration();
  if (!configuration) return nullptr;
  for (const auto& option : configuration->options().value_or(ZUMAdConfiguration::Options{})) {
    if (auto banner = std::dynamic_pointer_cast<PXRBannerViewOptions>(option)) return banner;
  }
  return nullptr;
}

}  // namespace

ZUMMediatedBannerFormats::Banner PXRMediatedBanners::publisherBannerForAdLoader(
    ZUMAdLoader& loader, const ZUMAdSize& size, const std::vector<nlohmann::ordered_json>& appEvents) {
  platform::assertMainThread();
  const auto options = bannerOptions(loader);
  auto banner = PXRBannerView::create(size);
  banner->setAdUnitID(loader.adUnitID());
  banner->setEnableManualImpressions(options && options->enableManualImpressions());
  if (auto delegate = std::dynamic_pointer_cast<PXRBannerAdLoaderDelegate>(loader.delegate())) {
    banner->setValidAdSizesWithSizes(delegate->validBannerSizesForAdLoader(loader));
  }
  const auto appEventDelegate = options ? options->appEventDelegate() : nullptr;
  banner->setAppEventDelegate(appEventDelegate);
  for (const auto& event : appEvents) {
    auto name = ZUMJSONStringForKey(event, "name");
    if (appEventDelegate && name) {
      appEventDelegate->adViewDidReceiveAppEvent(*banner, *name, ZUMJSONStringForKey(event, "info"));
    }
  }
  banner->setAdSizeDelegate(options ? options->adSizeDelegate() : nullptr);
  return {.ad = banner, .slot = banner->slot()};
}
