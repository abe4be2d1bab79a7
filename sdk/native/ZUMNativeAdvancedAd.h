// What app-install and content native ads share: headline, body and call to action,
// the images (the first one also the video's placeholder), one single image of the
// kind's own (the app-install icon, the content logo), the AdChoices attribution and its
// badge, the hidden overlay over the host's ad view, the video and its host-facing
// controller, and the registration of a view of the host's own. The kinds add their
// other texts and their class object; ZUMNativeAdvancedAdView is the template views'
// common part.
//
// An ad is made from a server dictionary or (for other networks' ads) from values at
// hand: both ways end in setValues(), which is the one place the shared fields are set.
//
// An ad made from another network's ad takes the network's values as they are (its
// images already at hand), the network's media content and video, and no overlay,
// attribution or host-owned view.
//
// The ad is the delegate of every view policy that shows it (ZUMNativeAd); it holds the policy of a
// registered host view weakly (the view's tap recognizer keeps that policy). Main thread
// only, but for the asset bookkeeping of the base.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ZUMMediatedNativeAd.h"
#include "ZUMNativeAd.h"
#include "sdk/native/ZUMNativeAdViewPolicy.h"

namespace platform {
class View;
}  // namespace platform

class ZUMAdLoaderDelegate;
class ZUMMediaContentDisplaying;
class ZUMMediatedNativeAdImpl;
class ZUMNativeAdAttribution;
class ZUMNativeAdImage;
class ZUMNativeAdImageLoadQueue;
class ZUMVideoController;

// The names and keys that set one kind apart.
struct ZUMNativeAdvancedAdKind {
  const char* templateID;            // "2" app install, "1" content
  const char* singleImageKey;        // the dictionary key of the kind's single image
  const char* singleImageAssetName;  // its requested asset: "icon" or "logo"
  // Among "headline", "body", "callToAction" and the single image's name; unused ones null.
  std::array<const char*, 3> requiredAssetNames;
  const char* attributionIconAssetName;  // the view policy's names
  const char* attributionTextAssetName;
  const char* backgroundAssetName;
};

// The values both ways of making an ad give it.
struct ZUMNativeAdvancedAdValues {
  std::optional<std::string> headline;
  std::optional<std::string> body;
  std::optional<std::string> callToAction;
  // Downloaded before delivery; each joins the offered images when it has loaded.
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images;
  // Offered at once (an image already at hand).
  std::vector<std::shared_ptr<ZUMNativeAdImage>> availableImages;
  std::shared_ptr<ZUMNativeAdImage> singleImage;
  std::shared_ptr<platform::View> adChoicesContentView;
  std::shared_ptr<ZUMMediaContentDisplaying> mediaContent;
};

// It is also a mediated native ad, so that the SDK's own network hands it to a waterfall
// as it is.
class ZUMNativeAdvancedAd : public ZUMNativeAd, public virtual ZUMMediatedNativeAd {
 public:
  using ViewPtr = std::shared_ptr<platform::View>;
  // Asset name -> the host's view showing that asset, in the order taps test them.
  using AssetViews = std::vector<std::pair<std::string, ViewPtr>>;

  static constexpr const char* kAttributionAssetName = "attribution";
  static constexpr const char* kMediaAssetName = "native_ad_media";

  ~ZUMNativeAdvancedAd() override;

  // --- App-facing ----------------------------------------------------------------------
  const std::optional<std::string>& headline() const { return headline_; }
  const std::optional<std::string>& body() const { return body_; }
  const std::optional<std::string>& callToAction() const { return callToAction_; }
  // The images offered: those loaded so far (every one when image loading is off).
  const std::vector<std::shared_ptr<ZUMNativeAdImage>>& images() const { return availableNativeAdImages_; }
  // Every image the ad came with.
  const std::vector<std::shared_ptr<ZUMNativeAdImage>>& nativeAdImages() const { return nativeAdImages_; }
  const std::shared_ptr<ZUMVideoController>& videoController() const { return videoController_; }
  // The attribution's first icon once the attribution has loaded.
  const std::shared_ptr<ZUMNativeAdImage>& adChoicesIcon() const { return adChoicesIcon_; }
  const std::shared_ptr<ZUMNativeAdAttribution>& attribution() const { return attribution_; }
  bool publisherOwnedAdViewAllowed() const { return publisherOwnedAdViewAllowed_; }

  // Shows the ad in a view of the host's own, whose asset views the host names. Refused
  // (logged, nothing changes) when the server did not allow it, without a view or asset
  // views, for a template view, and while an earlier registered view is still watched.
  void registerAdView(const ViewPtr& adView, const std::optional<AssetViews>& assetViews);
  // Stops watching the registered view (refused, logged, when registering is not allowed).
  void unregisterAdView();

  // --- ZUMMediatedNativeAd (the same operations as ZUMNativeAd's) -----------------------
  std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() override {
    return ZUMNativeAd::mediatedNativeAdDelegate();
  }
  std::optional<Json> extraAssets() const override { return ZUMNativeAd::extraAssets(); }

  // --- ZUMNativeAd ---------------------------------------------------------------------
  std::string adFormatTemplateID() const override { return kind_.templateID; }
  std::set<std::string> requiredAssets() const override;
  // The held view, else the attribution's badge, made on first demand.
  std::shared_ptr<platform::View> adChoicesContentView() const override;
  void setAdChoicesContentView(std::shared_ptr<platform::View> view) { adChoicesContentView_ = std::move(view); }
  std::shared_ptr<ZUMOverlayView> overlayView() const override { return overlayView_; }
  std::shared_ptr<ZUMMediaContentDisplaying> mediaContent() const override { return mediaContent_; }
  void setMediaContent(std::shared_ptr<ZUMMediaContentDisplaying> content) { mediaContent_ = std::move(content); }
  // Loads the single image, the images, the attribution and the video, once.
  void loadAssetsWithCompletionHandler(AssetCompletion completion) override;
  // The overlay follows the slot's page.
  void setSlot(const std::shared_ptr<ZUMSlot>& slot) override;

  // The policy watching the registered view, while there is one.
  std::shared_ptr<ZUMNativeAdViewPolicy> nativeAdViewPolicy() const { return nativeAdViewPolicy_.lock(); }

 protected:
  // A server ad: the shared keys of `dictionary` ("headline", "body", "call_to_action",
  // "images", the kind's single image, "attribution", "video",
  // "allow_pub_owned_ad_view") and the image and video options.
  ZUMNativeAdvancedAd(const Json& dictionary, const ZUMAdConfiguration::Options& options,
                      const ZUMNativeAdvancedAdKind& kind);
  // Another network's ad: the kind's factory sets its values, then observes the ad.
  ZUMNativeAdvancedAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd, const ZUMNativeAdvancedAdKind& kind);
  // The shared fields, whichever way the ad was made.
  void setValues(ZUMNativeAdvancedAdValues values);
  // Whether every value the kind requires is there (an ad without one is not made).
  bool hasRequiredValues() const;
  const std::shared_ptr<ZUMNativeAdImage>& singleImage() const { return singleImage_; }

 private:
  std::weak_ptr<ZUMNativeAdvancedAd> selfWeak();
  void loadSingleImage();
  void loadImages();
  void loadAttribution();
  void loadVideo();

  const ZUMNativeAdvancedAdKind& kind_;
  bool disableImageLoading_ = false;
  bool assetLoadsStarted_ = false;
  std::vector<std::shared_ptr<ZUMNativeAdImage>> nativeAdImages_;
  std::shared_ptr<ZUMNativeAdImageLoadQueue> imageLoads_;  // made when the assets start loading
  std::vector<std::shared_ptr<ZUMNativeAdImage>> availableNativeAdImages_;
  std::shared_ptr<ZUMOverlayView> overlayView_;
  std::shared_ptr<ZUMVideoController> videoController_;
  std::shared_ptr<ZUMNativeAdAttribution> attribution_;
  std::optional<std::string> headline_;
  std::optional<std::string> body_;
  std::optional<std::string> callToAction_;
  std::shared_ptr<ZUMNativeAdImage> singleImage_;
  std::weak_ptr<ZUMNativeAdViewPolicy> nativeAdViewPolicy_;
  bool publisherOwnedAdViewAllowed_ = false;
  std::shared_ptr<ZUMNativeAdImage> adChoicesIcon_;
  std::shared_ptr<ZUMMediaContentDisplaying> mediaContent_;
  mutable std::shared_ptr<platform::View> adChoicesContentView_;
};

// The class object of an app-install or content kind (ZUMNativeAdClass), registered
// under `className`: its delegate protocol, its request parameters ({"format",
// "allowed_response_types": ["ina"], "native_advanced_statistics": the kept statistics
// of its template id and the loader's unit, [] when none}) and the maker of its ads.
struct ZUMNativeAdvancedAdClassDescription {
  const char* className;
  const char* requiredDelegateProtocol;
  bool (*delegateConforms)(const ZUMAdLoaderDelegate& delegate);
  std::int64_t format;
  const char* templateID;
  std::shared_ptr<ZUMNativeAd> (*make)(const nlohmann::ordered_json& dictionary,
                                       const ZUMAdConfiguration::Options& options);
  // The kind's ad standing for another network's ad (nullptr when it cannot).
  std::shared_ptr<ZUMNativeAd> (*makeMediated)(const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd,
                                               const ZUMAdConfiguration::Options& options);
};
void ZUMRegisterNativeAdvancedAdClass(const ZUMNativeAdvancedAdClassDescription& description);
