#include "ZUMNativeContentAd.h"

#include "ZUMAdLoader.h"
#include "ZUMMediatedNativeContentAd.h"
#include "ZUMNativeContentAdView.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/native/ZUMMediatedNativeAdImpl.h"
#include "sdk/native/ZUMMediationNativeAdMediaContent.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"

const ZUMNativeAdvancedAdKind& ZUMNativeContentAd::kind() {
  // The logo is not required: one that fails leaves a loadable ad.
  static const ZUMNativeAdvancedAdKind kind{
      .templateID = "1",
      .singleImageKey = "secondary_image",
      .singleImageAssetName = "logo",
      .requiredAssetNames = {"headline", "body", nullptr},
      .attributionIconAssetName = kAttributionIconAsset,
      .attributionTextAssetName = kAttributionTextAsset,
      .backgroundAssetName = kBackgroundAsset,
  };
  return kind;
}

void ZUMNativeContentAd::registerClass() {
  ZUMRegisterNativeAdvancedAdClass({
      .className = kZUMNativeContentAdClassName,
      .requiredDelegateProtocol = "ZUMNativeContentAdLoaderDelegate",
      .delegateConforms =
          [](const ZUMAdLoaderDelegate& delegate) {
            return dynamic_cast<const ZUMNativeContentAdLoaderDelegate*>(&delegate) != nullptr;
          },
      .format = 1,
      .templateID = "1",
      .make = [](const Json& dictionary, const ZUMAdConfiguration::Options& options) -> std::shared_ptr<ZUMNativeAd> {
        return create(dictionary, options);
      },
      .makeMediated = [](const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd,
                         const ZUMAdConfiguration::Options& options) -> std::shared_ptr<ZUMNativeAd> {
        return createWithMediatedNativeAd(mediatedAd, options);
      },
  });
  ZUMNativeContentAdView::registerClass();
}

std::shared_ptr<ZUMNativeContentAd> ZUMNativeContentAd::create(const Json& dictionary,
                                                               const ZUMAdConfiguration::Options& options) {
  auto ad = std::shared_ptr<ZUMNativeContentAd>(new ZUMNativeContentAd(dictionary, options));
  return ad->hasRequiredValues() ? ad : nullptr;
}

std::shared_ptr<ZUMNativeContentAd> ZUMNativeContentAd::createWithMediatedNativeAd(
    const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd, const ZUMAdConfiguration::Options& /*options*/) {
  auto network = mediatedAd ? std::dynamic_pointer_cast<ZUMMediatedNativeContentAd>(mediatedAd->ad()) : nullptr;
  if (!network) return nullptr;
  auto ad = std::shared_ptr<ZUMNativeContentAd>(new ZUMNativeContentAd(mediatedAd));
  ad->setValues({.headline = network->headline(),
                 .body = network->body(),
                 .callToAction = network->callToAction(),
                 .images = {},
                 .availableImages = network->images(),
                 .singleImage = network->logo(),
                 .adChoicesContentView = network->adChoicesView(),
                 .mediaContent = ZUMMediationNativeAdMediaContent::createWithMediatedNativeContentAd(network)});
  if (!ad->hasRequiredValues()) return nullptr;
  ad->advertiser_ = network->advertiser();
  ad->observeMediatedNativeAd();
  return ad;
}

ZUMNativeContentAd::ZUMNativeContentAd(const Json& dictionary, const ZUMAdConfiguration::Options& options)
    : ZUMNativeAdvancedAd(dictionary, options, kind()), advertiser_(ZUMJSONStringForKey(dictionary, "advertiser")) {}

void ZUMNativeContentAd::adLoaderDidReceiveAd(ZUMAdLoader& loader) {
  if (auto delegate = std::dynamic_pointer_cast<ZUMNativeContentAdLoaderDelegate>(loader.delegate())) {
    delegate->adLoaderDidReceiveNativeContentAd(loader,
                                                std::static_pointer_cast<ZUMNativeContentAd>(shared_from_this()));
  }
}

std::optional<std::string> ZUMNativeContentAd::loadableClassName() const { return kZUMNativeContentAdClassName; }
