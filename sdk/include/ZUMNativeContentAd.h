// A native ad of general content (ad-loader ad type "1", request format 1): headline and
// body (both required), call to action, advertiser, images, a logo, video and the
// AdChoices attribution. The host shows it in a ZUMNativeContentAdView or in a view of
// its own that it registers (registerAdView, when the server allows it).
//
// Main thread only. What it shares with app-install ads is ZUMNativeAdvancedAd's.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ZUMNativeContentAdLoaderDelegate.h"
#include "sdk/native/ZUMNativeAdvancedAd.h"

class ZUMNativeContentAd : public ZUMNativeAdvancedAd {
 public:
  // The kind's asset names, as the template view's outlets and registered asset views
  // use them.
  static constexpr const char* kHeadlineAsset = "1001";
  static constexpr const char* kBodyAsset = "1002";
  static constexpr const char* kCallToActionAsset = "1003";
  static constexpr const char* kAdvertiserAsset = "1004";
  static constexpr const char* kImageAsset = "1005";
  static constexpr const char* kLogoAsset = "1006";
  static constexpr const char* kAttributionIconAsset = "1007";
  static constexpr const char* kAttributionTextAsset = "1008";
  static constexpr const char* kMediaViewAsset = "1009";
  static constexpr const char* kAdChoicesViewAsset = "1010";
  static constexpr const char* kBackgroundAsset = "1099";

  // From one entry of a native response; nullptr without "headline" or "body".
  static std::shared_ptr<ZUMNativeContentAd> create(const Json& dictionary, const ZUMAdConfiguration::Options& options);
  // Standing for another network's content ad (the wrapper's `ad`): its texts, images
  // and logo as given, its AdChoices view and its media; nullptr when the ad is of
  // another kind or lacks the headline or body.
  static std::shared_ptr<ZUMNativeContentAd> createWithMediatedNativeAd(
      const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd, const ZUMAdConfiguration::Options& options);
  // Registers the class object under its ad-loader class name, and the template view.
  static void registerClass();

  // From "secondary_image"; a logo that fails to load stays, without its picture.
  const std::shared_ptr<ZUMNativeAdImage>& logo() const { return singleImage(); }
  const std::optional<std::string>& advertiser() const { return advertiser_; }

  void adLoaderDidReceiveAd(ZUMAdLoader& loader) override;
  std::optional<std::string> loadableClassName() const override;

  // The names and keys of the kind.
  static const ZUMNativeAdvancedAdKind& kind();

 private:
  ZUMNativeContentAd(const Json& dictionary, const ZUMAdConfiguration::Options& options);
  explicit ZUMNativeContentAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd)
      : ZUMNativeAdvancedAd(mediatedAd, kind()) {}

  std::optional<std::string> advertiser_;
};
