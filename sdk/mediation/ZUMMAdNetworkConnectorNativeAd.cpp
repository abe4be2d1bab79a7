#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"

#include <any>

#include "ZUMMAdNetworkAdapter.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorDelegate.h"
#include "sdk/native/ZUMMediatedNativeAdImpl.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"

std::shared_ptr<ZUMMAdNetworkConnectorNativeAd> ZUMMAdNetworkConnectorNativeAd::create(
    std::shared_ptr<const ZUMMConfig> config, std::shared_ptr<ZUMMAdNetworkConfig> networkConfig) {
  if (!config || !networkConfig) return nullptr;
  return std::shared_ptr<ZUMMAdNetworkConnectorNativeAd>(
      new ZUMMAdNetworkConnectorNativeAd(std::move(config), std::move(networkConfig)));
}

void ZUMMAdNetworkConnectorNativeAd::getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>&) {
  platform::assertMainThread();
  if (auto error = askAdapterForNativeAd(adapter().get(), currentAdapterName(), adLoaderConfiguration().get())) {
    failAttempt(error);
  }
}

platform::ErrorPtr ZUMMAdNetworkConnectorNativeAd::askAdapterForNativeAd(
    Adapter* adapter, const std::string& adapterName, const ZUMAdLoaderConfiguration* configuration) {
  std::vector<std::string> adTypes;
  std::vector<std::any> options;
  if (configuration) {
    adTypes = configuration->adTypes();
    for (const auto& option : configuration->options().value_or(ZUMAdConfiguration::Options{})) {
      options.emplace_back(option);
    }
  }
  if (adapter && adapter->getNativeAdWithAdTypes(adTypes, options)) return nullptr;
  return ZUMMakeErrorWithDescription(kZUMErrorInternalError,
                                     adapterName + " adapter doesn't implement protocol for fetching native ad.");
}

void ZUMMAdNetworkConnectorNativeAd::handleDidFailAd(const platform::ErrorPtr& error) {
  if (auto manager = adManager()) manager->adRequestFailedFromConnectorWithError(*this, error);
}

void ZUMMAdNetworkConnectorNativeAd::handleDidReceiveMediatedNativeAd(const std::shared_ptr<ZUMMediatedNativeAd>& ad,
                                                                      NativeHandling handling) {
  auto manager = adManager();
  if (!manager || !ad) return;
  auto mediated = ZUMMediatedNativeAdImpl::create();
  // The reporting adapter's registered name is not known to C++; the entry's adapter
  // class stands for it.
  mediated->setAdNetworkClassName(currentAdapterName());
  mediated->setAd(ad);
  mediated->setAllowPublisherRenderedAttribution(mediationConfig()->allowPublisherRenderedAttribution());
  mediated->setAdapterHandlesUserClicks(handling.clicks.value_or(false));
  mediated->setAdapterHandlesUserImpressions(handling.impressions.value_or(false));
  manager->adRequestReturnsFromConnectorWithMediatedAd(*this, mediated);
}
