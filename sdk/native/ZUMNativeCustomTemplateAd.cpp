#include "ZUMNativeCustomTemplateAd.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <utility>

#include "ZUMAdLoader.h"
#include "ZUMMediaView.h"
#include "ZUMNativeAdImage.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "ZUMVideoController.h"
#include "ZUMVideoOptions.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/native/ZUMMediaContent.h"
#include "sdk/native/ZUMMediatedNativeAdImpl.h"
#include "sdk/native/ZUMNativeAdClass.h"
#include "sdk/native/ZUMNativeAdImageLoadQueue.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kCustomClick = "nativeAdCustomClick";
constexpr const char* kVideoClick = "zum-native-ad-video-click";
constexpr const char* kMediaAsset = "native_ad_media";

void logPublic(const std::string& message) { ZUMLogger::sharedInstance()->logPublicMessage(message); }

// Whether the whole text reads as one number, as a default number formatter would.
bool readsAsNumber(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [rest, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && rest == end;
}

// A string id as it is, a number as its decimal text; std::nullopt for anything else.
std::optional<std::string> templateIDText(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer() || value.is_number_unsigned()) return value.dump();
  if (value.is_number_float()) {
    const double number = value.get<double>();
    // Whole numbers read as integers ("12", not "12.0").
    if (number == static_cast<double>(static_cast<std::int64_t>(number))) {
      return std::to_string(static_cast<std::int64_t>(number));
    }
    return value.dump();
  }
  return std::nullopt;
}

bool caseInsensitiveLess(const std::string& a, const std::string& b) {
  auto lower = [](unsigned char c) { return std::tolower(c); };
  const bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                 [&](unsigned char x, unsigned char y) { return lower(x) < lower(y); });
  const bool greater = std::lexicographical_compare(
      b.begin(), b.end(), a.begin(), a.end(), [&](unsigned char x, unsigned char y) { return lower(x) < lower(y); });
  return less || (!greater && a < b);
}

class ZUMNativeCustomTemplateAdClass : public ZUMNativeAdClass {
 public:
  std::string requiredDelegateProtocol() const override { return "ZUMNativeCustomTemplateAdLoaderDelegate"; }
  bool delegateConformsToRequiredProtocol(const ZUMAdLoaderDelegate& delegate) const override {
    return dynamic_cast<const ZUMNativeCustomTemplateAdLoaderDelegate*>(&delegate) != nullptr;
  }
  std::optional<Json> requestParametersForAdLoader(ZUMAdLoader& loader) const override {
    std::optional<Json> ids;
    if (auto delegate = std::dynamic_pointer_cast<ZUMNativeCustomTemplateAdLoaderDelegate>(loader.delegate())) {
      ids = delegate->nativeCustomTemplateIDsForAdLoader(loader);
    }
    Json kept = Json::array();
    if (ids && ids->is_array()) {
      for (const auto& id : *ids) {
        if (id.is_string()) {
          const auto text = id.get<std::string>();
          if (!readsAsNumber(text)) {
            logPublic("Received non-numeric custom template ID. The template ID may be invalid: " + text);
          }
          kept.push_back(text);
        } else if (auto number = id.is_number() ? templateIDText(id) : std::nullopt) {
          kept.push_back(*number);
        } else {
          logPublic("Received non-string custom template ID: " + id.dump());
        }
      }
    } else if (ids && !ids->is_null()) {
      logPublic("Received non-string custom template ID: " + ids->dump());
    }
    return Json{{"format", 3}, {"custom_template_ids", std::move(kept)}, {"allowed_response_types", {"ina"}}};
  }
  bool canInitWithAdLoader(ZUMAdLoader&, platform::ErrorPtr*) const override { return true; }
  std::shared_ptr<ZUMNativeAd> adWithMediatedNativeAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& ad,
                                                      const ZUMAdConfiguration::Options& options) const override {
    return ZUMNativeCustomTemplateAd::createWithMediatedNativeAd(ad, options);
  }
  std::shared_ptr<ZUMNativeAd> adWithDictionary(const Json& dictionary,
                                                const ZUMAdConfiguration::Options& options) const override {
    return ZUMNativeCustomTemplateAd::create(dictionary, options);
  }
};

}  // namespace

void ZUMNativeCustomTemplateAd::registerClass() {
  ZUMRegisterLoadableClass(kZUMNativeCustomTemplateAdClassName, std::make_shared<ZUMNativeCustomTemplateAdClass>());
}

std::shared_ptr<ZUMNativeCustomTemplateAd> ZUMNativeCustomTemplateAd::create(
    const Json& dictionary, const ZUMAdConfiguration::Options& options) {
  platform::assertMainThread();
  const Json* id =
      dictionary.is_object() && dictionary.contains("custom_template_id") ? &dictionary["custom_template_id"] : nullptr;
  auto text = id && (id->is_string() || id->is_number()) ? templateIDText(*id) : std::nullopt;
  if (!text) return nullptr;
  auto ad = std::shared_ptr<ZUMNativeCustomTemplateAd>(new ZUMNativeCustomTemplateAd(dictionary, options));
  ad->templateID_ = std::move(*text);
  return ad;
}

ZUMNativeCustomTemplateAd::ZUMNativeCustomTemplateAd(const Json& dictionary, const ZUMAdConfiguration::Options& options)
    : ZUMNativeAd(dictionary, options),
      lockQueue_(platform::DispatchQueue::serial("com.vantor.morvane.custom-template")),
      videoController_(ZUMVideoController::create()) {
  std::shared_ptr<ZUMVideoOptions> videoOptions;
  for (const auto& option : options) {
    if (auto images = std::dynamic_pointer_cast<ZUMNativeAdImageAdLoaderOptions>(option)) {
      disableImageLoading_ = images->disableImageLoading();
    } else if (auto video = std::dynamic_pointer_cast<ZUMVideoOptions>(option)) {
      videoOptions = video;
    }
  }
  readAssets(dictionary);
  // Only an ad with a video has media; one without loads no video page.
  if (const Json* video = ZUMJSONObjectForKey(dictionary, "video")) {
    mediaContent_ = ZUMMediaContent::create(video, nullptr, videoOptions);
  }
}

std::shared_ptr<ZUMNativeCustomTemplateAd> ZUMNativeCustomTemplateAd::createWithMediatedNativeAd(
    const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd, const ZUMAdConfiguration::Options& /*options*/) {
  platform::assertMainThread();
  auto networkAd =
      mediatedAd ? std::dynamic_pointer_cast<ZUMMediatedNativeCustomTemplateAd>(mediatedAd->ad()) : nullptr;
  if (!networkAd) return nullptr;
  auto ad = std::shared_ptr<ZUMNativeCustomTemplateAd>(new ZUMNativeCustomTemplateAd(mediatedAd));
  ad->networkAd_ = networkAd;
  ad->templateID_ = networkAd->templateID();
  ad->readMediatedAssets(*networkAd);
  ad->observeMediatedNativeAd();
  return ad;
}

ZUMNativeCustomTemplateAd::ZUMNativeCustomTemplateAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd)
    : ZUMNativeAd(mediatedAd),
      lockQueue_(platform::DispatchQueue::serial("com.vantor.morvane.custom-template")),
      videoController_(ZUMVideoController::create()) {}

// The network delivers its assets ready: each listed key is offered at once, with its
// text or else its image.
void ZUMNativeCustomTemplateAd::readMediatedAssets(const ZUMMediatedNativeCustomTemplateAd& networkAd) {
  for (const auto& key : networkAd.availableAssetKeys()) {
    if (key.empty()) continue;
    if (auto text = networkAd.stringForKey(key)) {
      stringAssets_[key] = *text;
    } else if (auto image = networkAd.imageForKey(key)) {
      imageAssets_[key] = image;
    }
    availableAssetKeys_.insert(key);
  }
}

ZUMNativeCustomTemplateAd::~ZUMNativeCustomTemplateAd() {
  platform::NotificationCenter::defaultCenter().removeObserver(this);
}

void ZUMNativeCustomTemplateAd::readAssets(const Json& dictionary) {
  const Json* assets = ZUMJSONArrayForKey(dictionary, "custom_assets");
  if (!assets) return;
  for (const auto& asset : *assets) {
    if (!asset.is_object()) continue;
    auto name = ZUMJSONStringForKey(asset, "name");
    auto type = ZUMJSONStringForKey(asset, "type");
    // Names and types come from the server: only non-empty strings make an asset.
    if (!name || name->empty() || !type || type->empty()) continue;
    if (*type == "string") {
      if (auto value = ZUMJSONStringForKey(asset, "string_value")) stringAssets_[*name] = *value;
      availableAssetKeys_.insert(*name);
    } else if (*type == "image") {
      const Json* value = ZUMJSONObjectForKey(asset, "image_value");
      auto image = value ? ZUMNativeAdImage::createWithDictionary(*value) : nullptr;
      if (!image) continue;
      (image->required() ? requiredImages_ : optionalImages_)[*name] = image;
    }
  }
}

// --- Assets ------------------------------------------------------------------------------

std::set<std::string> ZUMNativeCustomTemplateAd::requiredAssets() const {
  auto required = ZUMNativeAd::requiredAssets();
  for (const auto& [key, image] : requiredImages_) required.insert(key);
  return required;
}

std::shared_ptr<ZUMMediaContentDisplaying> ZUMNativeCustomTemplateAd::mediaContent() const { return mediaContent_; }

void ZUMNativeCustomTemplateAd::loadAssetsWithCompletionHandler(AssetCompletion completion) {
  platform::assertMainThread();
  const bool load = shouldLoadAssets();
  if (load) {
    if (disableImageLoading_) {
      for (const auto& [key, image] : optionalImages_) setImage(image, key);
      for (const auto& [key, image] : requiredImages_) setImage(image, key);
    } else {
      // Required first: of more images than load at once, one that fails the ad is
      // reached before the optional ones.
      loadImages(requiredImages_);
      loadImages(optionalImages_);
    }
    if (mediaContent_) loadVideo();
  }
  ZUMNativeAd::loadAssetsWithCompletionHandler(std::move(completion));
}

void ZUMNativeCustomTemplateAd::loadImages(const std::map<std::string, std::shared_ptr<ZUMNativeAdImage>>& images) {
  if (!imageLoads_) imageLoads_ = ZUMNativeAdImageLoadQueue::create();
  for (const auto& [key, image] : images) {
    addAssetWithNameToRequestedAssets(key);
    imageLoads_->loadImage(image, [weak = selfWeak(), key = key, image = image](platform::ErrorPtr error) {
      auto self = weak.lock();
      if (!self) return;
      if (error) return self->failedToLoadAssetWithName(key);
      self->setImage(image, key);
      self->finishedLoadingAssetWithName(key);
    });
  }
}

void ZUMNativeCustomTemplateAd::setImage(const std::shared_ptr<ZUMNativeAdImage>& image, const std::string& key) {
  imageAssets_[key] = image;
  availableAssetKeys_.insert(key);
}

void ZUMNativeCustomTemplateAd::loadVideo() {
  addAssetWithNameToRequestedAssets(kMediaAsset);
  mediaContent_->loadVideoWithCompletionHandler([weak = selfWeak()](platform::ErrorPtr error) {
    auto self = weak.lock();
    if (!self) return;
    if (error) return self->failedToLoadAssetWithName(kMediaAsset);
    self->mediaView_ = ZUMMediaView::create();
    self->mediaView_->setMediaContent(self->mediaContent_);
    self->videoController_->setInternalVideoController(self->mediaContent_->videoController());
    self->availableAssetKeys_.insert(kVideoMediaViewKey);
    if (auto view = self->mediaContent_->mediaView()) {
      platform::NotificationCenter::defaultCenter().addObserver(
          self, ZUMBindWeak(weak, &ZUMNativeCustomTemplateAd::clickVideoMediaView), kVideoClick, view);
    }
    self->finishedLoadingAssetWithName(kMediaAsset);
  });
}

std::vector<std::string> ZUMNativeCustomTemplateAd::availableAssetKeys() const {
  std::vector<std::string> keys(availableAssetKeys_.begin(), availableAssetKeys_.end());
  std::sort(keys.begin(), keys.end(), caseInsensitiveLess);
  return keys;
}

std::optional<std::string> ZUMNativeCustomTemplateAd::stringForKey(const std::string& key) const {
  auto found = stringAssets_.find(key);
  return found == stringAssets_.end() ? std::nullopt : std::optional(found->second);
}

std::shared_ptr<ZUMNativeAdImage> ZUMNativeCustomTemplateAd::imageForKey(const std::string& key) const {
  auto found = imageAssets_.find(key);
  return found == imageAssets_.end() ? nullptr : found->second;
}

std::shared_ptr<ZUMMediaView> ZUMNativeCustomTemplateAd::mediaView() const {
  return videoController_->hasVideoContent() ? mediaView_ : nullptr;
}

// --- Clicks and the impression -------------------------------------------------------------

std::weak_ptr<ZUMNativeCustomTemplateAd> ZUMNativeCustomTemplateAd::selfWeak() {
  return std::static_pointer_cast<ZUMNativeCustomTemplateAd>(shared_from_this());
}

void ZUMNativeCustomTemplateAd::dropOneShotHandler() { deprecatedCustomClickHandler_ = nullptr; }

void ZUMNativeCustomTemplateAd::clickVideoMediaView() { performClickOnAssetWithKey(kVideoMediaViewKey); }

void ZUMNativeCustomTemplateAd::performClickOnAssetWithKey(const std::string& key) {
  platform::assertMainThread();
  if (!availableAssetKeys_.contains(key)) {
    // A handler given with this click would otherwise wait forever and refuse every
    // later click with a handler.
    lockQueue_->async(ZUMBindWeak(selfWeak(), &ZUMNativeCustomTemplateAd::dropOneShotHandler));
    logPublic("Asset is unavailable. Cannot perform click on \"" + key + "\".");
    return;
  }
  // Another network records the click on its own ad; the wrapper reports it below.
  if (networkAd_) networkAd_->performClickOnAssetWithKey(key);
  bool hasHandler = false;
  lockQueue_->sync([&] { hasHandler = deprecatedCustomClickHandler_ || customClickHandler_; });
  performClickOnView(nullptr, key, hasHandler ? Json{{"has_custom_click_handler", true}} : Json::object());
}

void ZUMNativeCustomTemplateAd::performClickOnAssetWithKey(const std::string& key, OneShotHandler handler) {
  platform::assertMainThread();
  if (handler) {
    bool refused = false;
    lockQueue_->sync([&] {
      refused = static_cast<bool>(deprecatedCustomClickHandler_);
      if (!refused) deprecatedCustomClickHandler_ = std::move(handler);
    });
    if (refused) return logPublic("Still processing prior click event. This click event will be ignored.");
  }
  performClickOnAssetWithKey(key);
}

void ZUMNativeCustomTemplateAd::pageWillNotAnswerClicks() {
  platform::assertMainThread();
  lockQueue_->async([weak = selfWeak()] {
    auto self = weak.lock();
    if (!self || !self->deprecatedCustomClickHandler_) return;
    self->deprecatedCustomClickHandler_ = nullptr;
    ZUMLog(kZUMLogLevelDefault, "A click's handler will not run: the native-ads page left the click unanswered.");
  });
}

void ZUMNativeCustomTemplateAd::recordImpression() { recordImpressionWithEnvironment(Json::object()); }

void ZUMNativeCustomTemplateAd::setCustomClickHandler(ClickHandler handler) {
  lockQueue_->async([weak = weak_from_this(), handler = std::move(handler)] {
    if (auto self = weak.lock()) static_cast<ZUMNativeCustomTemplateAd&>(*self).customClickHandler_ = handler;
  });
}

ZUMNativeCustomTemplateAd::ClickHandler ZUMNativeCustomTemplateAd::customClickHandler() const {
  ClickHandler handler;
  lockQueue_->sync([&] { handler = customClickHandler_; });
  return handler;
}

void ZUMNativeCustomTemplateAd::setSlot(const std::shared_ptr<ZUMSlot>& slot) {
  removeCustomClickObserver();
  ZUMNativeAd::setSlot(slot);
  observeCustomClicks();
}

void ZUMNativeCustomTemplateAd::removeCustomClickObserver() {
  if (auto view = observedAdView_.lock()) {
    platform::NotificationCenter::defaultCenter().removeObserver(this, kCustomClick, view.get());
  }
  observedAdView_.reset();
}

void ZUMNativeCustomTemplateAd::observeCustomClicks() {
  auto view = slot() ? slot()->adView() : nullptr;
  if (!view) return;
  observedAdView_ = view;
  auto self = std::static_pointer_cast<ZUMNativeCustomTemplateAd>(shared_from_this());
  platform::NotificationCenter::defaultCenter().addObserver(
      self, ZUMBindWeak(self, &ZUMNativeCustomTemplateAd::handleNativeAdCustomClick), kCustomClick, view);
}

void ZUMNativeCustomTemplateAd::handleNativeAdCustomClick(const platform::Notification& notification) {
  // The ads of one response share the ad view: the click is the ad's whose click it answers.
  if (!isAddressedByPage(notification)) return;
  auto asset = ZUMJSONStringForKey(notification.userInfo(), "asset");
  lockQueue_->async([weak = weak_from_this(), asset] {
    auto self = weak.lock();
    if (!self) return;
    auto& ad = static_cast<ZUMNativeCustomTemplateAd&>(*self);
    if (auto oneShot = std::exchange(ad.deprecatedCustomClickHandler_, nullptr)) {
      platform::DispatchQueue::main()->async(std::move(oneShot));
    }
    if (asset && ad.customClickHandler_) {
      platform::DispatchQueue::main()->async([handler = ad.customClickHandler_, asset = *asset] { handler(asset); });
    }
  });
}

// --- Loader and description ------------------------------------------------------------------

bool ZUMNativeCustomTemplateAd::hasValidConfigurationForRequestParameters(const Json& parameters) const {
  const auto ids = ZUMJSONStringItemsForKey(parameters, "custom_template_ids").value_or(std::vector<std::string>{});
  const bool asked = std::find(ids.begin(), ids.end(), templateID_) != ids.end();
  return ZUMNativeAd::hasValidConfigurationForRequestParameters(parameters) && asked;
}

void ZUMNativeCustomTemplateAd::adLoaderDidReceiveAd(ZUMAdLoader& loader) {
  auto delegate = std::dynamic_pointer_cast<ZUMNativeCustomTemplateAdLoaderDelegate>(loader.delegate());
  if (delegate) {
    delegate->adLoaderDidReceiveNativeCustomTemplateAd(
        loader, std::static_pointer_cast<ZUMNativeCustomTemplateAd>(shared_from_this()));
  }
}

std::optional<std::string> ZUMNativeCustomTemplateAd::loadableClassName() const {
  return kZUMNativeCustomTemplateAdClassName;
}

std::string ZUMNativeCustomTemplateAd::description() const {
  std::string keys;
  for (const auto& key : availableAssetKeys()) keys += (keys.empty() ? "" : ", ") + key;
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<ZUMNativeCustomTemplateAd: " + std::string(address) + ", availableAssetKeys:[" + keys + "]>";
}
