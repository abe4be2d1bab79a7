// One entry of a native response, as arbitrary JSON, made into an app-install or a
// content ad (through the kind's class object, as the ad loader makes it). The first
// byte picks the kind (bit 0), switches image loading off (bit 1) and asks for several
// images (bit 2); the rest is the dictionary.
//
// Properties: no crash; an ad is made only when the kind's required texts are strings
// (and, for app-install ads, "app_icon" is a dictionary); a star rating is finite;
// "allow_pub_owned_ad_view" that is no number, boolean or string never allows a host's
// view, and registering one gives a policy exactly when it is allowed; with image
// loading off every image is offered; the asset load completes exactly once; an
// AdChoices badge exists exactly when "attribution" is a dictionary.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "ZUMNativeAppInstallAd.h"
#include "ZUMNativeContentAd.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/JSONParsing.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/View.h"
#include "sdk/native/ZUMNativeAdClass.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"

namespace {

using Json = nlohmann::ordered_json;

bool isString(const Json& dictionary, const char* key) {
  return dictionary.contains(key) && dictionary.at(key).is_string();
}
bool isObject(const Json& dictionary, const char* key) {
  return dictionary.contains(key) && dictionary.at(key).is_object();
}

void checkAd(const ZUMNativeAdvancedAd& ad, const Json& dictionary, bool appInstall, bool imageLoadingOff) {
  fuzzenv::check(isString(dictionary, "headline"));
  if (appInstall) {
    fuzzenv::check(isString(dictionary, "call_to_action") && isObject(dictionary, "app_icon"));
    fuzzenv::check(std::isfinite(static_cast<const ZUMNativeAppInstallAd&>(ad).starRating()));
  } else {
    fuzzenv::check(isString(dictionary, "body"));
  }
  const Json* allow =
      dictionary.contains("allow_pub_owned_ad_view") ? &dictionary.at("allow_pub_owned_ad_view") : nullptr;
  if (!allow || !(allow->is_number() || allow->is_boolean() || allow->is_string())) {
    fuzzenv::check(!ad.publisherOwnedAdViewAllowed());
  }
  fuzzenv::check((ad.adChoicesContentView() != nullptr) == isObject(dictionary, "attribution"));
  if (imageLoadingOff) fuzzenv::check(ad.images().size() == ad.nativeAdImages().size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("native_kinds_fuzzer");
  static const bool registered = [] {
    platform::URLLoading::setOffline(true);  // image and icon loads fail at once
    ZUMNativeAppInstallAd::registerClass();
    ZUMNativeContentAd::registerClass();
    return true;
  }();
  (void)registered;
  if (size < 1) return 0;
  const bool appInstall = data[0] & 1;
  const bool imageLoadingOff = data[0] & 2;
  Json dictionary = platform::parseJSON(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1),
                                        platform::JSONParseFailure::Discard);
  if (dictionary.is_discarded() || !dictionary.is_object()) return 0;
  dictionary.erase("video");  // the video loads a page of its own

  auto images = ZUMNativeAdImageAdLoaderOptions::create();
  images->setDisableImageLoading(imageLoadingOff);
  images->setShouldRequestMultipleImages(data[0] & 4);
  auto adClass = std::dynamic_pointer_cast<ZUMNativeAdClass>(
      ZUMLoadableClassNamed(appInstall ? kZUMNativeAppInstallAdClassName : kZUMNativeContentAdClassName));
  fuzzenv::check(adClass != nullptr);
  auto ad = std::dynamic_pointer_cast<ZUMNativeAdvancedAd>(adClass->adWithDictionary(dictionary, {images}));
  if (!ad) return 0;

  int completions = 0;
  ad->loadAssetsWithCompletionHandler([&](const platform::ErrorPtr&) { ++completions; });
  ad->loadAssetsWithCompletionHandler([&](const platform::ErrorPtr&) { ++completions; });
  fuzzenv::drainMainLoop();
  fuzzenv::check(completions == 2);
  checkAd(*ad, dictionary, appInstall, imageLoadingOff);

  auto view = platform::View::create(platform::Rect(0, 0, 300, 250));
  ad->registerAdView(view, ZUMNativeAdvancedAd::AssetViews{{"1001", platform::View::create()}});
  fuzzenv::check((ad->nativeAdViewPolicy() != nullptr) == ad->publisherOwnedAdViewAllowed());
  ad->unregisterAdView();
  fuzzenv::drainMainLoop();
  return 0;
}
