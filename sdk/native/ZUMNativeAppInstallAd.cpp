#include "ZUMNativeAppInstallAd.h"

#include "ZUMAdLoader.h"
#include "ZUMNativeAppInstallAdView.h"
#include "sdk/foundation/ZUMJSONReaders.h"
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
  });
  ZUMNativeAppInstallAdView::registerClass();
}

std::shared_ptr<ZUMNativeAppInstallAd> ZUMNativeAppInstallAd::create(const Json& dictionary,
                                                                     const ZUMAdConfiguration::Options& options) {
  auto ad = std::shared_ptr<ZUMNativeAppInstallAd>(new ZUMNativeAppInstallAd(dictionary, options));
  return ad->hasRequiredValues() ? ad : nullptr;
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
