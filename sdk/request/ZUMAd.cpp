#include "sdk/request/ZUMAd.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "ZUMAdSize.h"
#include "platform/base/StringConversions.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"

namespace {

using Json = nlohmann::ordered_json;

const Json* valueForKey(const Json& dictionary, const char* key) {
  if (!dictionary.is_object()) return nullptr;
  auto it = dictionary.find(key);
  return it == dictionary.end() ? nullptr : &*it;
}

std::optional<std::string> stringForKey(const Json& dictionary, const char* key) {
  const Json* value = valueForKey(dictionary, key);
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

// Numbers and strings answer a double value; a value that is not finite counts as none.
std::optional<double> doubleForKey(const Json& dictionary, const char* key) {
  const Json* value = valueForKey(dictionary, key);
  if (!value) return std::nullopt;
  double result;
  if (value->is_number()) {
    result = value->get<double>();
  } else if (value->is_string()) {
    result = platform::stringDoubleValue(value->get<std::string>());
  } else if (value->is_boolean()) {
    result = value->get<bool>() ? 1.0 : 0.0;
  } else {
    return std::nullopt;
  }
  if (!std::isfinite(result)) return std::nullopt;
  return result;
}

std::optional<platform::URL> urlForKey(const Json& dictionary, const char* key) {
  auto text = stringForKey(dictionary, key);
  if (!text) return std::nullopt;
  return platform::URL::fromString(*text);
}

}  // namespace

ZUMAd::ZUMAd()
    : statistics_(ZUMStatisticDictionary::create(
          std::weak_ptr<ZUMStatisticDictionaryDelegate>(ZUMApplication::sharedInstance()))) {}

ZUMAd::~ZUMAd() = default;

std::shared_ptr<ZUMAd> ZUMAd::create() { return std::shared_ptr<ZUMAd>(new ZUMAd()); }

std::shared_ptr<ZUMAd> ZUMAd::createWithDictionary(const Json& dictionary) {
  auto ad = create();
  ad->readDictionary(dictionary);
  return ad;
}

void ZUMAd::readDictionary(const Json& dictionary) {
  auto html = stringForKey(dictionary, "ad_html");
  auto baseURL = urlForKey(dictionary, "ad_base_url");
  if (baseURL && html && !html->empty()) {
    adHTML_ = html;
    adBaseURL_ = baseURL;
  } else {
    adURL_ = urlForKey(dictionary, "ad_url");
  }
  if (const Json* json = valueForKey(dictionary, "ad_json")) {
    std::optional<std::string> text;
    if (json->is_string()) {
      text = json->get<std::string>();
    } else if (json->is_object()) {
      text = json->dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    if (text && (!adHTML_ || adHTML_->empty())) adHTML_ = text;
  }
  auto sizeText = stringForKey(dictionary, "ad_size");
  size_ = ZUMAdSizeFromString(sizeText ? std::optional<std::string_view>(*sizeText) : std::nullopt);
  if (auto orientation = stringForKey(dictionary, "orientation")) {
    std::uint64_t mask = *orientation == "any" ? 30 : *orientation == "portrait" ? 6 : *orientation == "landscape" ? 24 : 0;
    if (mask != 0) supportedOrientations_ = mask;
  }
  if (const Json* javaScript = valueForKey(dictionary, "ad_is_javascript"); javaScript && javaScript->is_number()) {
    hasAdNetworkJavaScript_ = javaScript->get<double>() != 0;
    if (hasAdNetworkJavaScript_) adNetworkPassbackURL_ = urlForKey(dictionary, "ad_passback_url");
  }
  auto width = doubleForKey(dictionary, "_native_interstitial_size_width");
  auto height = doubleForKey(dictionary, "_native_interstitial_size_height");
  if (width && height) size_ = {*width, *height};
  if (auto threshold = doubleForKey(dictionary, "_native_cropped_content_threshold")) {
    croppedContentThreshold_ = *threshold;
  }
  if (auto queryID = stringForKey(dictionary, "brv_query_id")) BRVQueryID_ = queryID;
}

std::shared_ptr<ZUMBannerAd> ZUMBannerAd::create() { return std::shared_ptr<ZUMBannerAd>(new ZUMBannerAd()); }

std::shared_ptr<ZUMBannerAd> ZUMBannerAd::createWithDictionary(const Json& dictionary) {
  auto ad = create();
  ad->readDictionary(dictionary);
  return ad;
}

void ZUMBannerAd::readDictionary(const Json& dictionary) {
  ZUMAd::readDictionary(dictionary);
  const Json* rate = valueForKey(dictionary, "refresh_rate");
  if (rate && rate->is_number()) setReloadInterval(rate->get<double>());
}

std::shared_ptr<ZUMInterstitialAd> ZUMInterstitialAd::create() {
  return std::shared_ptr<ZUMInterstitialAd>(new ZUMInterstitialAd());
}

std::shared_ptr<ZUMInterstitialAd> ZUMInterstitialAd::createWithDictionary(const Json& dictionary) {
  auto ad = create();
  ad->readDictionary(dictionary);
  return ad;
}
