#include "sdk/mediation/ZUMMAdNetworkConnectorNativeExpressAd.h"

#include <utility>

#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMMediatedNativeContentAd.h"
#include "ZUMNativeAdImage.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"
#include "sdk/mediation/ZUMMConnectorDelegate.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"

namespace {

using Json = nlohmann::ordered_json;
using Images = std::vector<std::shared_ptr<ZUMNativeAdImage>>;

void putText(Json& assets, const char* key, const std::optional<std::string>& text) {
  if (text) assets[key] = *text;
}

void putImageURL(Json& assets, const char* key, const std::shared_ptr<ZUMNativeAdImage>& image) {
  if (image && image->imageURL()) assets[key] = image->imageURL()->absoluteString();
}

// The assets both kinds have, read through the kind that wins.
struct CommonAssets {
  std::optional<std::string> headline, body, callToAction;
  Images images;
};

template <class Ad>
CommonAssets commonAssetsOf(const Ad& ad) {
  return {ad.headline(), ad.body(), ad.callToAction(), ad.images()};
}

void putCommonAssets(Json& assets, const Json& extras, const CommonAssets& common) {
  if (extras.is_object() && !extras.empty()) assets["extras"] = extras;
  putText(assets, "headline", common.headline);
  putText(assets, "body", common.body);
  Json urls = Json::array();
  for (const auto& image : common.images) {
    if (image && image->imageURL()) urls.push_back(image->imageURL()->absoluteString());
  }
  if (!urls.empty()) assets["images"] = std::move(urls);
  putText(assets, "call_to_action", common.callToAction);
}

// The image orientations the entry's options may name ("horizonal" is the server's word).
constexpr std::int64_t kPortraitOrientation = 2;
constexpr std::int64_t kLandscapeOrientation = 3;

// The entry's template ids as ad types: strings as they are, numbers as their text.
std::vector<std::string> templateIDsOf(const ZUMMAdNetworkConfig& entry) {
  std::vector<std::string> ids;
  const Json* list = entry.nativeExpressTemplateIDs();
  if (!list) return ids;
  for (const auto& item : *list) {
    if (item.is_boolean()) continue;
    if (auto text = ZUMJSONStringOrNumberText(item)) ids.push_back(std::move(*text));
  }
  return ids;
}

std::shared_ptr<ZUMNativeAdImageAdLoaderOptions> imageOptionsOf(const ZUMMAdNetworkConfig& entry) {
  auto options = ZUMNativeAdImageAdLoaderOptions::create();
  options->setDisableImageLoading(true);
  const Json* given = entry.nativeExpressAdLoaderOptions();
  if (!given) return options;
  if (auto multiple = ZUMJSONBoolForKey(*given, "multiple_images")) options->setShouldRequestMultipleImages(*multiple);
  const auto orientation = ZUMJSONStringForKey(*given, "native_image_orientation");
  if (orientation == "portrait") options->setPreferredImageOrientation(kPortraitOrientation);
  if (orientation == "horizonal") options->setPreferredImageOrientation(kLandscapeOrientation);
  return options;
}

void logDropped(const std::string& what) {
  ZUMLog(kZUMLogLevelDebug, "Native express: dropped " + what + " of an attempt that is over or loading.");
}

}  // namespace

// The template page's delegate: the base ad-view delegate (message handlers, the
// navigation policy that makes link taps clicks) that also tells the connector how the
// page's load ended.
class ZUMMAdNetworkConnectorNativeExpressAd::TemplatePageDelegate final : public ZUMAdViewDelegate {
 public:
  static std::shared_ptr<TemplatePageDelegate> create(const std::shared_ptr<ZUMMAdNetworkConnectorNativeExpressAd>& c) {
    std::shared_ptr<TemplatePageDelegate> delegate(new TemplatePageDelegate(c));
    delegate->registerHandlers();
    return delegate;
  }
  void adViewDidFinishLoad(ZUMAdView& adView) override {
    ZUMAdViewDelegate::adViewDidFinishLoad(adView);
    if (auto connector = connector_.lock()) connector->templatePageDidFinishLoad();
  }
  void adViewDidFailLoadWithError(ZUMAdView&, const platform::ErrorPtr& error) override {
    if (auto connector = connector_.lock()) connector->templatePageDidFailLoad(error);
  }

 private:
  explicit TemplatePageDelegate(const std::shared_ptr<ZUMMAdNetworkConnectorNativeExpressAd>& c) : connector_(c) {}
  const std::weak_ptr<ZUMMAdNetworkConnectorNativeExpressAd> connector_;
};

std::shared_ptr<ZUMMAdNetworkConnectorNativeExpressAd> ZUMMAdNetworkConnectorNativeExpressAd::create(
    std::shared_ptr<const ZUMMConfig> config, std::shared_ptr<ZUMMAdNetworkConfig> networkConfig) {
  if (!config || !networkConfig) return nullptr;
  return std::shared_ptr<ZUMMAdNetworkConnectorNativeExpressAd>(
      new ZUMMAdNetworkConnectorNativeExpressAd(std::move(config), std::move(networkConfig)));
}

std::shared_ptr<ZUMAdLoaderConfiguration> ZUMMAdNetworkConnectorNativeExpressAd::adLoaderConfigurationForNetworkConfig(
    const ZUMMAdNetworkConfig& networkConfig) {
  return ZUMAdLoaderConfiguration::create(templateIDsOf(networkConfig), {imageOptionsOf(networkConfig)});
}

// --- Asking --------------------------------------------------------------------------------------

std::optional<platform::URL> ZUMMAdNetworkConnectorNativeExpressAd::templateBaseURL() const {
  const auto& text = networkConfig()->nativeExpressAdBaseURL();
  auto url = text ? platform::URL::fromString(*text) : std::nullopt;
  const bool web = ZUMURLHasScheme(url, "http") || ZUMURLHasScheme(url, "https");
  if (!web || !url->host() || url->host()->empty()) return std::nullopt;
  return url;
}

void ZUMMAdNetworkConnectorNativeExpressAd::getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>& adType) {
  platform::assertMainThread();
  adType_ = adType;
  std::string problem;
  if (!networkConfig()->nativeExpressHTMLTemplate()) {
    problem = "Native express entry has no HTML template.";
  } else if (!templateBaseURL()) {
    problem = "Native express entry's ad base URL is not an http(s) URL.";
  } else if (!adLoaderConfiguration()) {
    problem = "Native express entry's template ids give no ad types.";
  }
  if (!problem.empty()) return fail(ZUMMakeErrorWithDescription(kZUMErrorInternalError, problem));
  const auto error = ZUMMAdNetworkConnectorNativeAd::askAdapterForNativeAd(adapter().get(), currentAdapterName(),
                                                                           adLoaderConfiguration().get());
  if (error) fail(error);
}

// --- The adapter's answers -----------------------------------------------------------------------

void ZUMMAdNetworkConnectorNativeExpressAd::handleDidFailAd(const platform::ErrorPtr& error) {
  if (stage_ == Stage::kEnded) return logDropped("a failure");
  fail(error);
}

void ZUMMAdNetworkConnectorNativeExpressAd::fail(const platform::ErrorPtr& error) {
  stage_ = Stage::kEnded;
  if (adView_) adView_->stopLoading();
  if (auto manager = adManager()) manager->adRequestFailedFromConnectorWithError(*this, error);
}

void ZUMMAdNetworkConnectorNativeExpressAd::handleDidReceiveMediatedNativeAd(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad, NativeHandling) {
  if (stage_ != Stage::kAsking || !ad) return logDropped("a native ad");
  auto assets = assetsDictionaryFromMediatedNativeAd(*ad);
  if (!assets) {
    return fail(ZUMMakeErrorWithDomain(kZUMNativeExpressAssetsErrorDomain, 0, kZUMNativeExpressAssetsErrorDescription));
  }
  nativeAd_ = ad;
  loadNativeExpressHTMLTemplateForMediatedNativeAd(*assets);
}

// --- Asset JSON ----------------------------------------------------------------------------------

Json ZUMMAdNetworkConnectorNativeExpressAd::JSONAssetsFromMediatedNativeAppInstallAd(
    const ZUMMediatedNativeAppInstallAd& ad) {
  Json assets = Json::object();
  putImageURL(assets, "icon", ad.icon());
  putText(assets, "star_rating", ad.starRating());
  putText(assets, "store", ad.store());
  putText(assets, "price", ad.price());
  return assets;
}

Json ZUMMAdNetworkConnectorNativeExpressAd::JSONAssetsFromMediatedNativeContentAd(
    const ZUMMediatedNativeContentAd& ad) {
  Json assets = Json::object();
  putImageURL(assets, "icon", ad.logo());
  putText(assets, "advertiser", ad.advertiser());
  return assets;
}

std::optional<Json> ZUMMAdNetworkConnectorNativeExpressAd::assetsDictionaryFromMediatedNativeAd(
    const ZUMMediatedNativeAd& ad) const {
  Json assets = Json::object();
  CommonAssets common;
  if (const auto* appInstall = dynamic_cast<const ZUMMediatedNativeAppInstallAd*>(&ad)) {
    assets = JSONAssetsFromMediatedNativeAppInstallAd(*appInstall);
    common = commonAssetsOf(*appInstall);
  }
  if (const auto* content = dynamic_cast<const ZUMMediatedNativeContentAd*>(&ad)) {
    assets = JSONAssetsFromMediatedNativeContentAd(*content);
    common = commonAssetsOf(*content);
  }
  // Without any asset of its kind the template has nothing to show, whatever the text.
  if (assets.empty()) return std::nullopt;
  putCommonAssets(assets, ad.extraAssets().value_or(Json()), common);
  Json wrapper = Json::object();
  if (const Json* ids = networkConfig()->nativeExpressTemplateIDs()) wrapper["template_id"] = *ids;
  wrapper["assets"] = std::move(assets);
  return zum_JSONSafeDictionary(wrapper);
}

std::optional<std::string> ZUMMAdNetworkConnectorNativeExpressAd::assetsFromMediatedNativeAd(
    const ZUMMediatedNativeAd& ad) const {
  auto dictionary = assetsDictionaryFromMediatedNativeAd(ad);
  if (!dictionary) return std::nullopt;
  return zum_JSONStringPretty(*dictionary, true, nullptr);
}

// --- The template ---------------------------------------------------------------------------------

void ZUMMAdNetworkConnectorNativeExpressAd::loadNativeExpressHTMLTemplateForMediatedNativeAd(const Json& assets) {
  platform::assertMainThread();
  stage_ = Stage::kLoadingTemplate;
  assets_ = assets;
  adView_ = ZUMAdView::create(platform::Rect::zero());
  auto delegate =
      TemplatePageDelegate::create(std::static_pointer_cast<ZUMMAdNetworkConnectorNativeExpressAd>(shared_from_this()));
  // Clicks in the template are the slot's, as any click of its ad.
  delegate->opener()->setSlot(slot());
  adViewDelegate_ = delegate;
  adView_->setDelegate(delegate);
  adView_->loadHTMLString(networkConfig()->nativeExpressHTMLTemplate(), templateBaseURL());
}

void ZUMMAdNetworkConnectorNativeExpressAd::templatePageDidFinishLoad() {
  // Only the first load of the template answers; what the page loads later is its own.
  if (stage_ != Stage::kLoadingTemplate) return;
  stage_ = Stage::kEnded;
  adView_->postJSNotification(kZUMNativeExpressAssetsPageEvent, assets_);
  if (auto manager = adManager()) manager->adRequestReturnsFromConnectorWithView(*this, adView_);
}

void ZUMMAdNetworkConnectorNativeExpressAd::templatePageDidFailLoad(const platform::ErrorPtr& error) {
  if (stage_ != Stage::kLoadingTemplate) return;
  fail(ZUMMakeErrorWithUnderlyingError(kZUMErrorNetworkError, error));
}
