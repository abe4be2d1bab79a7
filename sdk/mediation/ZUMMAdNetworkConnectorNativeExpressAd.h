// The connector of a native express waterfall: the network delivers a native ad through
// an ordinary native adapter, and the SDK renders it itself from the entry's HTML
// template. The connector asks its adapter for native ads of the entry's template ids,
// turns the network's ad into asset JSON, loads the template into an ad view of its own
// (under the ad page rules: the base ad-view delegate, its clicks the slot's), and once
// the page has loaded hands it the JSON as the page event "onNativeExpressAssets" and
// answers the waterfall with the ad view. So every attempt ends once: with the view, or
// with a failure (no template, a base URL that is not http(s), no ad types, assets that
// make no JSON, a page that fails to load, the adapter's own failure), or by the
// waterfall's time-out.
//
// Owns the template's ad view and the network's ad while it lives. Main thread only, but
// for the adapter's reports.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"
#include "sdk/rendering/ZUMPageMessageName.h"

class ZUMAdView;
class ZUMAdViewDelegate;
class ZUMMediatedNativeAppInstallAd;
class ZUMMediatedNativeContentAd;

// The page event that carries the asset JSON into the template.
inline constexpr ZUMPageMessageName kZUMNativeExpressAssetsPageEvent = "onNativeExpressAssets";
// The failure of a native ad whose assets make no JSON.
inline constexpr const char* kZUMNativeExpressAssetsErrorDomain = "adapter:didReceiveMediatedNativeAd:";
inline constexpr const char* kZUMNativeExpressAssetsErrorDescription = "Unable to convert native ad assets to JSON.";

class ZUMMAdNetworkConnectorNativeExpressAd final : public ZUMMAdNetworkConnectorImpl {
 public:
  static std::shared_ptr<ZUMMAdNetworkConnectorNativeExpressAd> create(
      std::shared_ptr<const ZUMMConfig> config, std::shared_ptr<ZUMMAdNetworkConfig> networkConfig);

  // Keeps the type; fails the attempt (code 11) without asking the adapter when the entry
  // has no template, its base URL is not http(s), or no ad loader configuration was
  // given; an adapter without native ads fails it too.
  void getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>& adType) override;
  const std::shared_ptr<ZUMAdType>& adType() const { return adType_; }

  // The ad loader configuration of an entry (the native express view's): the entry's
  // template ids (numbers as their text) as ad types, with one image option: image
  // loading off; "multiple_images" of "ad_loader_options" asks for several;
  // "native_image_orientation" "portrait" is 2, "horizonal" 3, anything else the
  // default. nullptr when the ids give no configuration.
  static std::shared_ptr<ZUMAdLoaderConfiguration> adLoaderConfigurationForNetworkConfig(
      const ZUMMAdNetworkConfig& networkConfig);

  // --- Asset JSON ------------------------------------------------------------------------
  // The kind's own assets: "icon" (URL), "star_rating", "store", "price"; or "icon" (the
  // logo's URL) and "advertiser". Each only when present.
  static Json JSONAssetsFromMediatedNativeAppInstallAd(const ZUMMediatedNativeAppInstallAd& ad);
  static Json JSONAssetsFromMediatedNativeContentAd(const ZUMMediatedNativeContentAd& ad);
  // {"template_id": the entry's ids, "assets": {...}} made JSON-safe; std::nullopt when
  // the ad is of neither kind or has none of its kind's own assets (the content reading
  // wins for an ad of both).
  std::optional<Json> assetsDictionaryFromMediatedNativeAd(const ZUMMediatedNativeAd& ad) const;
  // The same as pretty-printed JSON text.
  std::optional<std::string> assetsFromMediatedNativeAd(const ZUMMediatedNativeAd& ad) const;

  // The template's ad view (nullptr until a native ad arrived).
  const std::shared_ptr<ZUMAdView>& adView() const { return adView_; }

 protected:
  void handleDidFailAd(const platform::ErrorPtr& error) override;
  void handleDidReceiveMediatedNativeAd(const std::shared_ptr<ZUMMediatedNativeAd>& ad,
                                        NativeHandling handling) override;
  std::string className() const override { return "ZUMMAdNetworkConnectorNativeExpressAd"; }

 private:
  class TemplatePageDelegate;
  using ZUMMAdNetworkConnectorImpl::ZUMMAdNetworkConnectorImpl;

  // Where the attempt stands: asked, the template loading, or over (answered or failed).
  enum class Stage { kAsking, kLoadingTemplate, kEnded };

  // The entry's base URL when it is http(s) with a host.
  std::optional<platform::URL> templateBaseURL() const;
  void loadNativeExpressHTMLTemplateForMediatedNativeAd(const Json& assets);
  void templatePageDidFinishLoad();
  void templatePageDidFailLoad(const platform::ErrorPtr& error);
  // Ends the attempt with `error` (once).
  void fail(const platform::ErrorPtr& error);

  std::shared_ptr<ZUMAdType> adType_;
  Stage stage_ = Stage::kAsking;
  std::shared_ptr<ZUMMediatedNativeAd> nativeAd_;
  std::optional<Json> assets_;
  std::shared_ptr<ZUMAdView> adView_;
  std::shared_ptr<ZUMAdViewDelegate> adViewDelegate_;
};
