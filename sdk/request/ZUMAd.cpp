#include "sdk/request/ZUMAd.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_set>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMAdSize.h"
#include "platform/base/KeyedHash.h"
#include "platform/base/StringConversions.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMOrientation.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/network/ZUMPinger.h"
#include "sdk/network/ZUMSafeBrowsingReporter.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/request/ZUMAdFormats.h"
#include "sdk/request/ZUMAdTelemetry.h"

namespace {

using Json = nlohmann::ordered_json;

std::optional<platform::URL> urlForKey(const Json& dictionary, const char* key) {
  auto text = ZUMJSONStringForKey(dictionary, key);
  if (!text) return std::nullopt;
  return platform::URL::fromString(*text);
}

// The URLs that the strings of an array make; other elements, and strings that make no
// URL, are skipped. Anything but an array gives none.
std::vector<platform::URL> urlsForKey(const Json& dictionary, const char* key) {
  std::vector<platform::URL> urls;
  const Json* array = ZUMJSONArrayForKey(dictionary, key);
  if (!array) return urls;
  for (const Json& element : *array) {
    if (!element.is_string()) continue;
    if (auto url = platform::URL::fromString(element.get_ref<const std::string&>())) urls.push_back(std::move(*url));
  }
  return urls;
}

// Keeps the first of each URL in order; a hashed look-up, as a server may name thousands
// (under a secret: the server chooses them).
void addURLs(std::vector<platform::URL>& set, const std::vector<platform::URL>& urls) {
  std::unordered_set<std::string, platform::KeyedHash> seen;
  seen.reserve(set.size() + urls.size());
  for (const auto& url : set) seen.insert(url.absoluteString());
  for (const auto& url : urls) {
    if (seen.insert(url.absoluteString()).second) set.push_back(url);
  }
}

std::vector<platform::URL> stampedURLs(const std::vector<platform::URL>& urls, const std::string& eventName) {
  auto telemetry = ZUMAdTelemetry::shared();
  return telemetry ? telemetry->trackingURLsWithAdEventID(urls, eventName) : urls;
}

}  // namespace

ZUMAd::ZUMAd()
    : statistics_(ZUMStatisticDictionary::create(
          std::weak_ptr<ZUMStatisticDictionaryDelegate>(ZUMApplication::sharedInstance()))) {}

ZUMAd::~ZUMAd() = default;

std::shared_ptr<ZUMAd> ZUMAd::create() { return std::shared_ptr<ZUMAd>(new ZUMAd()); }

std::shared_ptr<ZUMAd> ZUMAd::createWithDictionary(const Json& dictionary, const NativeFields& native) {
  auto ad = create();
  ad->readDictionary(dictionary);
  ad->readNativeFields(native);
  return ad;
}

void ZUMAd::readDictionary(const Json& dictionary) {
  auto html = ZUMJSONStringForKey(dictionary, "ad_html");
  auto baseURL = urlForKey(dictionary, "ad_base_url");
  if (baseURL && html && !html->empty()) {
    adHTML_ = html;
    adBaseURL_ = baseURL;
  } else {
    adURL_ = urlForKey(dictionary, "ad_url");
  }
  if (const Json* json = ZUMJSONValueForKey(dictionary, "ad_json")) {
    std::optional<std::string> text;
    if (json->is_string()) {
      text = json->get<std::string>();
    } else if (json->is_object()) {
      text = json->dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    if (text && (!adHTML_ || adHTML_->empty())) adHTML_ = text;
  }
  auto sizeText = ZUMJSONStringForKey(dictionary, "ad_size");
  size_ = ZUMAdSizeFromString(sizeText ? std::optional<std::string_view>(*sizeText) : std::nullopt);
  if (auto orientation = ZUMJSONStringForKey(dictionary, "orientation")) {
    std::uint64_t mask = ZUMInterfaceOrientationMaskFromString(*orientation);
    if (mask != 0) supportedOrientations_ = mask;
  }
  if (auto javaScript = ZUMJSONBoolForKey(dictionary, "ad_is_javascript")) {
    hasAdNetworkJavaScript_ = *javaScript;
    if (hasAdNetworkJavaScript_) adNetworkPassbackURL_ = urlForKey(dictionary, "ad_passback_url");
  }
  if (auto text = ZUMJSONStringForKey(dictionary, "debug_dialog")) debugDialogString_ = text;
  if (const Json* activeView = ZUMJSONObjectForKey(dictionary, "active_view")) {
    setActiveViewConfigurations(*activeView);
  }
  if (ZUMJSONBoolForKey(dictionary, "use_displayed_impression", false, ZUMJSONStrings::Read)) impressionDefinition_ = 1;
  addURLs(clickURLs_, urlsForKey(dictionary, "click_urls"));
  addURLs(impressionURLs_, urlsForKey(dictionary, "impression_urls"));
  addURLs(manualImpressionURLs_, urlsForKey(dictionary, "manual_impression_urls"));
  if (const Json* safeBrowsing = ZUMJSONValueForKey(dictionary, "safe_browsing")) {
    safeBrowsingReporter_ = ZUMSafeBrowsingReporter::create(*safeBrowsing);
  }
  auto width = ZUMJSONDoubleForKey(dictionary, "_native_interstitial_size_width", ZUMJSONStrings::Read);
  auto height = ZUMJSONDoubleForKey(dictionary, "_native_interstitial_size_height", ZUMJSONStrings::Read);
  if (width && height) size_ = {*width, *height};
  if (auto threshold = ZUMJSONDoubleForKey(dictionary, "_native_cropped_content_threshold", ZUMJSONStrings::Read)) {
    croppedContentThreshold_ = *threshold;
  }
  if (const Json* rewards = ZUMJSONArrayForKey(dictionary, "rewards");
      rewards && !rewards->empty() && rewards->front().is_object()) {
    if (auto formats = ZUMAdFormats::shared()) reward_ = formats->makeReward(rewards->front());
  }
  if (auto blocked = ZUMJSONBoolForKey(dictionary, "custom_close_blocked", ZUMJSONStrings::Read)) {
    customCloseBlocked_ = *blocked;
  }
  if (auto queryID = ZUMJSONStringForKey(dictionary, "brv_query_id")) BRVQueryID_ = queryID;
}

void ZUMAd::readNativeFields(const NativeFields& native) {
  if (native.originalRequest) originalRequest_ = native.originalRequest;
  for (const auto& redirect : native.requestRedirects) addRedirect(redirect);
}

void ZUMAd::addRedirect(std::shared_ptr<ZUMURLConnectionRedirect> redirect) {
  if (redirect) redirects_.push_back(std::move(redirect));
}

std::optional<Json> ZUMAd::responseHeaders() const {
  if (!responseHeaders_) return std::nullopt;
  return *responseHeaders_;
}

void ZUMAd::setResponseHeaders(const std::optional<Json>& headers) {
  responseHeaders_ = headers ? std::make_unique<Json>(*headers) : nullptr;
}

std::optional<Json> ZUMAd::activeViewConfigurations() const {
  if (!activeViewConfigurations_) return std::nullopt;
  return *activeViewConfigurations_;
}

void ZUMAd::setActiveViewConfigurations(const std::optional<Json>& configurations) {
  activeViewConfigurations_ = configurations ? std::make_unique<Json>(*configurations) : nullptr;
}

void ZUMAd::addClickURLsFromArray(const std::vector<platform::URL>& urls) { addURLs(clickURLs_, urls); }
void ZUMAd::addImpressionURLsFromArray(const std::vector<platform::URL>& urls) { addURLs(impressionURLs_, urls); }
void ZUMAd::addManualImpressionURLsFromArray(const std::vector<platform::URL>& urls) {
  addURLs(manualImpressionURLs_, urls);
}

void ZUMAd::pingClickURLs() {
  if (clickURLs_.empty()) return;
  ZUMClickTrackerCollection::sharedInstance()->trackURLs(stampedURLs(clickURLs_, "_ac"));
}

void ZUMAd::pingImpressionURLs() {
  if (impressionURLs_.empty()) return;
  auto urls = std::exchange(impressionURLs_, {});
  ZUMClickTrackerCollection::sharedInstance()->trackURLs(stampedURLs(urls, "_ai"));
}

void ZUMAd::pingManualImpressionURLs() {
  if (manualImpressionURLs_.empty()) return;
  ZUMClickTrackerCollection::sharedInstance()->trackURLs(std::exchange(manualImpressionURLs_, {}));
}

void ZUMAd::pingDebugSignal() {
  auto dataURLString = ZUMUserDefaults::stringForKey("/vantor/ads/debug_signal_data_url");
  if (!dataURLString || !ZUMApplication::sharedInstance()->debugModeEnabled() || debugSignalSent_) return;
  if (!debugSignalInformation_ || debugSignalInformation_->empty()) return;
  Json parameters = Json::object();
  if (auto device = ZUMUserDefaults::stringForKey("/vantor/ads/debug_device_identifier")) {
    parameters["linkedDeviceId"] = *device;
  }
  if (adUnitID_) parameters["adSlotPath"] = *adUnitID_;
  parameters["debugData"] = *debugSignalInformation_;
  std::optional<std::string> urlString;
  if (auto base = platform::URL::fromString(*dataURLString)) {
    if (auto url = ZUMURLByAppendingQueryParameters(*base, parameters)) urlString = url->absoluteString();
  }
  // A URL that cannot be built still counts as the one signal of this ad.
  debugSignalSent_ = true;
  ZUMPinger::sharedInstance()->pingURLString(urlString, nullptr, nullptr);
}

std::shared_ptr<ZUMBannerAd> ZUMBannerAd::create() { return std::shared_ptr<ZUMBannerAd>(new ZUMBannerAd()); }

std::shared_ptr<ZUMBannerAd> ZUMBannerAd::createWithDictionary(const Json& dictionary, const NativeFields& native) {
  auto ad = create();
  ad->readDictionary(dictionary);
  ad->readNativeFields(native);
  return ad;
}

void ZUMBannerAd::readDictionary(const Json& dictionary) {
  ZUMAd::readDictionary(dictionary);
  if (auto rate = ZUMJSONDoubleForKey(dictionary, "refresh_rate")) setReloadInterval(*rate);
}

std::shared_ptr<ZUMInterstitialAd> ZUMInterstitialAd::create() {
  return std::shared_ptr<ZUMInterstitialAd>(new ZUMInterstitialAd());
}

std::shared_ptr<ZUMInterstitialAd> ZUMInterstitialAd::createWithDictionary(const Json& dictionary,
                                                                           const NativeFields& native) {
  auto ad = create();
  ad->readDictionary(dictionary);
  ad->readNativeFields(native);
  return ad;
}
