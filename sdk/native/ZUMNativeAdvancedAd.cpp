#include "sdk/native/ZUMNativeAdvancedAd.h"

#include <cstdio>

#include "ZUMAdLoader.h"
#include "ZUMMediaContentDisplaying.h"
#include "ZUMNativeAdImage.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "ZUMVideoController.h"
#include "ZUMVideoOptions.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/native/ZUMMediaContent.h"
#include "sdk/native/ZUMNativeAdAttribution.h"
#include "sdk/native/ZUMNativeAdAttributionView.h"
#include "sdk/native/ZUMNativeAdClass.h"
#include "sdk/native/ZUMNativeAdImageLoadQueue.h"
#include "sdk/native/ZUMNativeAdvancedAdView.h"
#include "sdk/native/ZUMOverlayView.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kNotEnabledMessage =
    "Your account must be enabled to use this feature. Talk to your account manager to request this feature for "
    "your account. In the meantime, this method is a no-op.";

void logPublic(const std::string& message) { ZUMLogger::sharedInstance()->logPublicMessage(message); }

// "%p:%@": an image's own name among the requested assets, unique per image object.
std::string imageAssetName(const ZUMNativeAdImage& image) {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(&image));
  return std::string(address) + ":" + (image.imageURL() ? image.imageURL()->absoluteString() : "");
}

class ZUMNativeAdvancedAdClass final : public ZUMNativeAdClass {
 public:
  explicit ZUMNativeAdvancedAdClass(const ZUMNativeAdvancedAdClassDescription& description)
      : description_(description) {}
  std::string requiredDelegateProtocol() const override { return description_.requiredDelegateProtocol; }
  bool delegateConformsToRequiredProtocol(const ZUMAdLoaderDelegate& delegate) const override {
    return description_.delegateConforms(delegate);
  }
  std::optional<Json> requestParametersForAdLoader(ZUMAdLoader& loader) const override {
    auto statistics = ZUMNativeAdStatisticsForAdUnitID(loader.adUnitID(), description_.templateID);
    return Json{{"format", description_.format},
                {"allowed_response_types", {"ina"}},
                {"native_advanced_statistics", statistics.value_or(Json::array())}};
  }
  bool canInitWithAdLoader(ZUMAdLoader&, platform::ErrorPtr*) const override { return true; }
  std::shared_ptr<ZUMNativeAd> adWithDictionary(const Json& dictionary,
                                                const ZUMAdConfiguration::Options& options) const override {
    return description_.make(dictionary, options);
  }
  std::shared_ptr<ZUMNativeAd> adWithMediatedNativeAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& ad,
                                                      const ZUMAdConfiguration::Options& options) const override {
    return description_.makeMediated ? description_.makeMediated(ad, options) : nullptr;
  }

 private:
  const ZUMNativeAdvancedAdClassDescription description_;
};

}  // namespace

void ZUMRegisterNativeAdvancedAdClass(const ZUMNativeAdvancedAdClassDescription& description) {
  ZUMRegisterLoadableClass(description.className, std::make_shared<ZUMNativeAdvancedAdClass>(description));
}

// --- Making ----------------------------------------------------------------------------------

ZUMNativeAdvancedAd::ZUMNativeAdvancedAd(const Json& dictionary, const ZUMAdConfiguration::Options& options,
                                         const ZUMNativeAdvancedAdKind& kind)
    : ZUMNativeAd(dictionary, options), kind_(kind) {
  platform::assertMainThread();
  const ZUMNativeAdImageAdLoaderOptions* imageOptions = nullptr;
  std::shared_ptr<ZUMVideoOptions> videoOptions;
  for (const auto& option : options) {
    if (auto images = std::dynamic_pointer_cast<ZUMNativeAdImageAdLoaderOptions>(option)) {
      imageOptions = images.get();
      disableImageLoading_ = images->disableImageLoading();
    } else if (auto video = std::dynamic_pointer_cast<ZUMVideoOptions>(option)) {
      videoOptions = video;
    }
  }
  ZUMNativeAdvancedAdValues values;
  values.headline = ZUMJSONStringForKey(dictionary, "headline");
  values.body = ZUMJSONStringForKey(dictionary, "body");
  values.callToAction = ZUMJSONStringForKey(dictionary, "call_to_action");
  if (const Json* images = ZUMJSONArrayForKey(dictionary, "images")) {
    values.images = ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(*images, imageOptions)
                        .value_or(std::vector<std::shared_ptr<ZUMNativeAdImage>>{});
  }
  if (const Json* single = ZUMJSONObjectForKey(dictionary, kind.singleImageKey)) {
    values.singleImage = ZUMNativeAdImage::createWithDictionary(*single);
  }
  if (const Json* attribution = ZUMJSONObjectForKey(dictionary, "attribution")) {
    attribution_ = ZUMNativeAdAttribution::create(*attribution);
  }
  // Without a video the content still shows the first image in the host's media view.
  values.mediaContent = ZUMMediaContent::create(ZUMJSONObjectForKey(dictionary, "video"),
                                                values.images.empty() ? nullptr : values.images.front(), videoOptions);
  setValues(std::move(values));
  overlayView_ = ZUMOverlayView::create(platform::Rect::zero());
  overlayView_->setHidden(true);
  // Whatever its JSON type: a number, a boolean or a string as the platform reads one.
  publisherOwnedAdViewAllowed_ = ZUMJSONBoolForKey(dictionary, "allow_pub_owned_ad_view", false, ZUMJSONStrings::Read);
}

ZUMNativeAdvancedAd::ZUMNativeAdvancedAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd,
                                         const ZUMNativeAdvancedAdKind& kind)
    : ZUMNativeAd(mediatedAd), kind_(kind) {
  platform::assertMainThread();
}

ZUMNativeAdvancedAd::~ZUMNativeAdvancedAd() = default;

void ZUMNativeAdvancedAd::setValues(ZUMNativeAdvancedAdValues values) {
  headline_ = std::move(values.headline);
  body_ = std::move(values.body);
  callToAction_ = std::move(values.callToAction);
  nativeAdImages_ = std::move(values.images);
  availableNativeAdImages_ = std::move(values.availableImages);
  singleImage_ = std::move(values.singleImage);
  adChoicesContentView_ = std::move(values.adChoicesContentView);
  mediaContent_ = std::move(values.mediaContent);
  if (!videoController_) videoController_ = ZUMVideoController::create();
}

bool ZUMNativeAdvancedAd::hasRequiredValues() const {
  for (const char* name : kind_.requiredAssetNames) {
    if (!name) continue;
    const std::string asset = name;
    const bool present = asset == "headline"       ? headline_.has_value()
                         : asset == "body"         ? body_.has_value()
                         : asset == "callToAction" ? callToAction_.has_value()
                                                   : singleImage_ != nullptr;
    if (!present) return false;
  }
  return true;
}

std::weak_ptr<ZUMNativeAdvancedAd> ZUMNativeAdvancedAd::selfWeak() {
  return std::static_pointer_cast<ZUMNativeAdvancedAd>(shared_from_this());
}

void ZUMNativeAdvancedAd::setSlot(const std::shared_ptr<ZUMSlot>& slot) {
  ZUMNativeAd::setSlot(slot);
  if (!overlayView_) return;
  overlayView_->setAdView(slot ? std::dynamic_pointer_cast<ZUMAdView>(slot->adView()) : nullptr,
                          [weak = selfWeak()](const platform::Notification& message) {
                            auto self = weak.lock();
                            return self && self->isAddressedByPage(message);
                          });
}

std::shared_ptr<platform::View> ZUMNativeAdvancedAd::adChoicesContentView() const {
  if (!adChoicesContentView_ && attribution_) adChoicesContentView_ = ZUMNativeAdAttributionView::create(attribution_);
  return adChoicesContentView_;
}

std::set<std::string> ZUMNativeAdvancedAd::requiredAssets() const {
  auto required = ZUMNativeAd::requiredAssets();
  for (const char* name : kind_.requiredAssetNames) {
    if (name) required.insert(name);
  }
  if (attribution_) required.insert(kAttributionAssetName);
  return required;
}

// --- Assets ----------------------------------------------------------------------------------

void ZUMNativeAdvancedAd::loadAssetsWithCompletionHandler(AssetCompletion completion) {
  platform::assertMainThread();
  // The base marks loading as started on a later turn: a second call in this turn must
  // not start every load again.
  const bool load = !assetLoadsStarted_ && shouldLoadAssets();
  assetLoadsStarted_ = true;
  if (load) {
    if (disableImageLoading_) {
      availableNativeAdImages_.insert(availableNativeAdImages_.end(), nativeAdImages_.begin(), nativeAdImages_.end());
    } else {
      // One loading for all of them: it ends one request time-out after it starts.
      imageLoads_ = ZUMNativeAdImageLoadQueue::create();
      loadSingleImage();
      loadImages();
    }
    loadAttribution();
    loadVideo();
  }
  ZUMNativeAd::loadAssetsWithCompletionHandler(std::move(completion));
}

void ZUMNativeAdvancedAd::loadSingleImage() {
  if (!singleImage_) return;
  const std::string name = kind_.singleImageAssetName;
  addAssetWithNameToRequestedAssets(name);
  imageLoads_->loadImage(singleImage_, [weak = selfWeak(), name](platform::ErrorPtr error) {
    auto self = weak.lock();
    if (!self) return;
    if (error) return self->failedToLoadAssetWithName(name);
    self->finishedLoadingAssetWithName(name);
  });
}

void ZUMNativeAdvancedAd::loadImages() {
  for (const auto& image : nativeAdImages_) {
    const std::string name = imageAssetName(*image);
    addAssetWithNameToRequestedAssets(name);
    imageLoads_->loadImage(image, [weak = selfWeak(), name, image](platform::ErrorPtr error) {
      auto self = weak.lock();
      if (!self) return;
      if (error) return self->failedToLoadAssetWithName(name);  // the image is not offered
      self->availableNativeAdImages_.push_back(image);
      self->finishedLoadingAssetWithName(name);
    });
  }
}

void ZUMNativeAdvancedAd::loadAttribution() {
  if (!attribution_) return;
  addAssetWithNameToRequestedAssets(kAttributionAssetName);
  attribution_->loadAssetsWithCompletionHandler([weak = selfWeak()](platform::ErrorPtr error) {
    auto self = weak.lock();
    if (!self) return;
    if (error) return self->failedToLoadAssetWithName(kAttributionAssetName);
    const auto& icons = self->attribution_->icons();
    self->adChoicesIcon_ = icons.empty() ? nullptr : icons.front();
    self->finishedLoadingAssetWithName(kAttributionAssetName);
  });
}

void ZUMNativeAdvancedAd::loadVideo() {
  if (!mediaContent_) return;
  addAssetWithNameToRequestedAssets(kMediaAssetName);
  mediaContent_->loadVideoWithCompletionHandler(
      [weak = selfWeak(), content = std::weak_ptr<ZUMMediaContentDisplaying>(mediaContent_)](platform::ErrorPtr error) {
        auto self = weak.lock();
        auto loaded = content.lock();
        if (!self) return;
        if (error || !loaded) return self->failedToLoadAssetWithName(kMediaAssetName);
        self->videoController_->setInternalVideoController(loaded->videoController());
        self->finishedLoadingAssetWithName(kMediaAssetName);
      });
}

// --- Views of the host's own -------------------------------------------------------------------

void ZUMNativeAdvancedAd::registerAdView(const ViewPtr& adView, const std::optional<AssetViews>& assetViews) {
  platform::assertMainThread();
  if (!publisherOwnedAdViewAllowed_) return logPublic(kNotEnabledMessage);
  if (!adView || !assetViews) return logPublic("Cannot register nil ad view or nil asset view dictionary.");
  if (dynamic_cast<ZUMNativeAdvancedAdView*>(adView.get())) {
    return logPublic("Not allowed to register Morvane native ad view: " + adView->description());
  }
  if (!nativeAdViewPolicy_.expired()) {
    return logPublic("Failed to register ad view and asset views: please first unregister the previous ad view.");
  }
  auto policy = ZUMNativeAdViewPolicy::create(adView, kind_.attributionIconAssetName, kind_.attributionTextAssetName,
                                              kind_.backgroundAssetName, true);
  policy->setAssetViews(*assetViews);
  auto self = std::static_pointer_cast<ZUMNativeAdvancedAd>(shared_from_this());
  policy->setNativeAd(self);
  policy->setDelegate(self);
  nativeAdViewPolicy_ = policy;
}

void ZUMNativeAdvancedAd::unregisterAdView() {
  platform::assertMainThread();
  if (!publisherOwnedAdViewAllowed_) return logPublic(kNotEnabledMessage);
  if (auto policy = nativeAdViewPolicy_.lock()) policy->unregisterAdView();
  nativeAdViewPolicy_.reset();
}
