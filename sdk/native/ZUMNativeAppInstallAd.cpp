#include "ZUMNativeAppInstallAd.h"

#include "ZUMAdLoader.h"
#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMNativeAppInstallAdView.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/native/ZUMMediatedNativeAdImpl.h"
#include "sdk/native/ZUMMediationNativeAdMediaContent.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"

const ZUMNativeAdvancedAdKind& ZUMNativeAppInstallAd::kind() {
  static const ZUMNativeAdvancedAdKind kind{
      .templateID = "2",
      .singleImageKey = "app_icon",
      .singleImageAssetName = "icon",
      .requiredAssetNames = {"headline", "callToAction", "icon"},
      .attributionIconAssetName = kAttributionIconAsset,
      .attributionTextAssetName = kAttributionTextAsset,
      .backgroundAssetName = kBackgroundAsset,
  };
  return kind;
}

void ZUMNativeAppInstallAd::registerClass() {
  ZUMRegisterNativeAdvancedAdClass({
      .className = kZUMNativeAppInstallAdClassName,
      .requiredDelegateProtocol = "ZUMNativeAppInstallAdLoaderDelegate",
      .delegateConforms =
          [](const ZUMAdLoaderDelegate& delegate) {
            return dynamic_cast<const ZUMNativeAppInstallAdLoaderDelegate*>(&delegate) != nullptr;
          },
      .format = 2,
      .templateID = "2",
      .make = [](const Json& dictionary, const ZUMAdConfiguration::Options& options) -> std::shared_ptr<ZUMNativeAd> {
        return create(dictionary, options);
      },
      .makeMediated = [](const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd,
                         const ZUMAdConfiguration::Options& options) -> std::shared_ptr<ZUMNativeAd> {
        return createWithMediatedNativeAd(mediatedAd, options);
      },
  });
  ZUMNativeAppInstallAdView::registerClass();
}

std::shared_ptr<ZUMNativeAppInstallAd> ZUMNativeAppInstallAd::create(const Json& dictionary,
                                                                     const ZUMAdConfiguration::Options& options) {
  auto ad = std::shared_ptr<ZUMNativeAppInstallAd>(new ZUMNativeAppInstallAd(dictionary, options));
  return ad->hasRequiredValues() ? ad : nullptr;
}

std::shared_ptr<ZUMNativeAppInstallAd> ZUMNativeAppInstallAd::createWithMediatedNativeAd(
    const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd, const ZUMAdConfiguration::Options& /*options*/) {
  auto network = mediatedAd ? std::dynamic_pointer_cast<ZUMMediatedNativeAppInstallAd>(mediatedAd->ad()) : nullptr;
  if (!network) return nullptr;
  auto ad = std::shared_ptr<ZUMNativeAppInstallAd>(new ZUMNativeAppInstallAd(mediatedAd));
  ad->setValues({.headline = network->headline(),
                 .body = network->body(),
                 .callToAction = network->callToAction(),
                 .images = {},
                 .availableImages = network->images(),
                 .singleImage = network->icon(),
                 .adChoicesContentView = network->adChoicesView(),
                 .mediaContent = ZUMMediationNativeAdMediaContent::createWithMediatedNativeAppInstallAd(network)});
  if (!ad->hasRequiredValues()) return nullptr;
  ad->store_ = network->store();
  ad->price_ = network->price();
  // The network gives the rating as decimal text; anything unreadable is no rating.
  if (auto rating = network->starRating())
    ad->starRating_ = ZUMJSONDouble(Json(*rating), ZUMJSONStrings::Read).value_or(0.0);
  ad->observeMediatedNativeAd();
  return ad;
}

ZUMNativeAppInstallAd::ZUMNativeAppInstallAd(const Json& dictionary, const ZUMAdConfiguration::Options& options)
    : ZUMNativeAdvancedAd(dictionary, options, kind()),
      store_(ZUMJSONStringForKey(dictionary, "store")),
      price_(ZUMJSONStringForKey(dictionary, "price")),
      starRating_(ZUMJSONDoubleForKey(dictionary, "rating", 0.0)) {}

void ZUMNativeAppInstallAd::adLoaderDidReceiveAd(ZUMAdLoader& loader) {
  if (auto delegate = std::dynamic_pointer_cast<ZUMNativeAppInstallAdLoaderDelegate>(loader.delegate())) {
    delegate->adLoaderDidReceiveNativeAppInstallAd(loader,
                                                   std::static_pointer_cast<ZUMNativeAppInstallAd>(shared_from_this()));
  }
}

std::optional<std::string> ZUMNativeAppInstallAd::loadableClassName() const { return kZUMNativeAppInstallAdClassName; }
