// Test helpers of native express: networks' native ads of either kind, of both and of
// neither, with whatever assets a test gives them; the ad kinds "1" and "2" registered as
// loadable classes; the template test page and what it received.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMMediatedNativeContentAd.h"
#include "ZUMNativeAdImage.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMLoadableTestSupport.h"

namespace expresstest {

using Json = nlohmann::ordered_json;
using Images = std::vector<std::shared_ptr<ZUMNativeAdImage>>;

// A test page that records every message it receives.
inline constexpr const char* kTemplatePage = "native_express_template.html";
inline const std::string kNotWeb = "Native express entry's ad base URL is not an http(s) URL.";

// The content ("1") and app-install ("2") kinds, so template ids name ad types.
inline void registerTestAdKinds() {
  ZUMRegisterLoadableClass(kZUMNativeContentAdClassName, std::make_shared<loadabletest::LoadableClass>());
  ZUMRegisterLoadableClass(kZUMNativeAppInstallAdClassName, std::make_shared<loadabletest::LoadableClass>());
}

struct Fields {
  std::optional<std::string> headline = {}, body = {}, callToAction = {};
  std::shared_ptr<ZUMNativeAdImage> icon = {};
  std::optional<std::string> starRating = {}, store = {}, price = {};
  std::shared_ptr<ZUMNativeAdImage> logo = {};
  std::optional<std::string> advertiser = {};
  Images images = {};
  Json extras = Json::object();
};

struct PlainAd : virtual ZUMMediatedNativeAd {
  std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() override { return nullptr; }
  std::optional<Json> extraAssets() const override { return f.extras; }
  Fields f;
};
struct AppInstallAd : PlainAd, ZUMMediatedNativeAppInstallAd {
  std::optional<std::string> headline() const override { return f.headline; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return f.images; }
  std::optional<std::string> body() const override { return f.body; }
  std::shared_ptr<ZUMNativeAdImage> icon() const override { return f.icon; }
  std::optional<std::string> callToAction() const override { return f.callToAction; }
  std::optional<std::string> starRating() const override { return f.starRating; }
  std::optional<std::string> store() const override { return f.store; }
  std::optional<std::string> price() const override { return f.price; }
};
struct ContentAd : PlainAd, ZUMMediatedNativeContentAd {
  std::optional<std::string> headline() const override { return f.headline; }
  std::optional<std::string> body() const override { return f.body; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return f.images; }
  std::shared_ptr<ZUMNativeAdImage> logo() const override { return f.logo; }
  std::optional<std::string> callToAction() const override { return f.callToAction; }
  std::optional<std::string> advertiser() const override { return f.advertiser; }
};
struct BothKindsAd : PlainAd, ZUMMediatedNativeAppInstallAd, ZUMMediatedNativeContentAd {
  std::optional<std::string> headline() const override { return f.headline; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return f.images; }
  std::optional<std::string> body() const override { return f.body; }
  std::shared_ptr<ZUMNativeAdImage> icon() const override { return f.icon; }
  std::optional<std::string> callToAction() const override { return f.callToAction; }
  std::optional<std::string> starRating() const override { return f.starRating; }
  std::optional<std::string> store() const override { return f.store; }
  std::optional<std::string> price() const override { return f.price; }
  std::shared_ptr<ZUMNativeAdImage> logo() const override { return f.logo; }
  std::optional<std::string> advertiser() const override { return f.advertiser; }
};

template <class Ad>
std::shared_ptr<Ad> adOf(Fields fields) {
  auto ad = std::make_shared<Ad>();
  ad->f = std::move(fields);
  return ad;
}

inline std::shared_ptr<ZUMNativeAdImage> image(const std::string& name) {
  return ZUMNativeAdImage::createWithURL(*platform::URL::fromString("https://img.adnetwork.example/" + name + ".png"),
                                         1);
}
// An image given as a picture, with no URL.
inline std::shared_ptr<ZUMNativeAdImage> urlless() {
  return std::make_shared<ZUMNativeAdImage>(std::nullopt, 1, false);
}

// Every asset an app-install ad has; its images hold a picture without URL and a hole.
inline std::shared_ptr<AppInstallAd> fullAppInstallAd() {
  return adOf<AppInstallAd>({.headline = "Headline",
                             .body = "Body",
                             .callToAction = "Install",
                             .icon = image("icon"),
                             .starRating = "4.5",
                             .store = "Store",
                             .price = "Free",
                             .images = {image("1"), urlless(), nullptr, image("2")},
                             .extras = {{"rating_count", 12}}});
}

// What the template page received: [{"name", "payload"}, ...].
inline Json receivedByTemplate(ZUMAdView& adView) {
  auto webView = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView.webView());
  const std::string text = webView ? webView->engine()->stringByEvaluatingJavaScriptFromString("receivedText()") : "";
  return Json::parse(text, nullptr, false);
}

}  // namespace expresstest
