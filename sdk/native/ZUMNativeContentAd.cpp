#include "ZUMNativeContentAd.h"

#include "ZUMAdLoader.h"
#include "ZUMNativeContentAdView.h"
#include "sdk/foundation/ZUMJSONReaders.h"
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
  });
  ZUMNativeContentAdView::registerClass();
}

std::shared_ptr<ZUMNativeContentAd> ZUMNativeContentAd::create(const Json& dictionary,
                                                               const ZUMAdConfiguration::Options& options) {
  auto ad = std::shared_ptr<ZUMNativeContentAd>(new ZUMNativeContentAd(dictionary, options));
  return ad->hasRequiredValues() ? ad : nullptr;
}

ZUMNativeContentAd::ZUMNativeContentAd(const Json& dictionary, const ZUMAdConfiguration::Options& options)
    : ZUMNativeAdvancedAd(dictionary, options, kind()), advertiser_(ZUMJSONStringForKey(dictionary, "advertiser")) {}

void ZUMNativeContentAd::adLoaderDidReceiveAd(ZUMAdLoader& loader) {
  if (auto delegate = std::dynamic_pointer_cast<ZUMNativeContentAdLoaderDelegate>(loader.delegate())) {
    delegate->adLoaderDidReceiveNativeContentAd(loader, std::static_pointer_cast<ZUMNativeContentAd>(shared_from_this()));
  }
}

std::optional<std::string> ZUMNativeContentAd::loadableClassName() const { return kZUMNativeContentAdClassName; }
