// A native ad promoting an app (ad-loader ad type "2", request format 2): headline, call
// to action and app icon (all required), body, store, price, star rating, images, video
// and the AdChoices attribution. The host shows it in a ZUMNativeAppInstallAdView or in
// a view of its own that it registers (registerAdView, when the server allows it).
//
// Main thread only. What it shares with content ads is ZUMNativeAdvancedAd's.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ZUMNativeAppInstallAdLoaderDelegate.h"
#include "sdk/native/ZUMNativeAdvancedAd.h"

class ZUMNativeAppInstallAd : public ZUMNativeAdvancedAd {
 public:
  // The kind's asset names, as the template view's outlets and registered asset views
  // use them.
  static constexpr const char* kHeadlineAsset = "2001";
  static constexpr const char* kCallToActionAsset = "2002";
  static constexpr const char* kIconAsset = "2003";
  static constexpr const char* kBodyAsset = "2004";
  static constexpr const char* kStoreAsset = "2005";
  static constexpr const char* kPriceAsset = "2006";
  static constexpr const char* kImageAsset = "2007";
  static constexpr const char* kStarRatingAsset = "2008";
  static constexpr const char* kAttributionIconAsset = "2009";
  static constexpr const char* kAttributionTextAsset = "2010";
  static constexpr const char* kMediaViewAsset = "2011";
  static constexpr const char* kAdChoicesViewAsset = "2012";
  static constexpr const char* kBackgroundAsset = "2099";

  // From one entry of a native response; nullptr without "headline", "call_to_action" or
  // an "app_icon" that makes an image.
  static std::shared_ptr<ZUMNativeAppInstallAd> create(const Json& dictionary,
                                                       const ZUMAdConfiguration::Options& options);
  // Standing for another network's app-install ad (the wrapper's `ad`): its texts,
  // rating, images and icon as given, its AdChoices view and its media; nullptr when the
  // ad is of another kind or lacks the headline, call to action or icon.
  static std::shared_ptr<ZUMNativeAppInstallAd> createWithMediatedNativeAd(
      const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd, const ZUMAdConfiguration::Options& options);
  // Registers the class object under its ad-loader class name, and the template view.
  static void registerClass();

  const std::shared_ptr<ZUMNativeAdImage>& icon() const { return singleImage(); }
  const std::optional<std::string>& store() const { return store_; }
  const std::optional<std::string>& price() const { return price_; }
  // "rating" as a number; 0 when absent or not a finite number.
  double starRating() const { return starRating_; }

  void adLoaderDidReceiveAd(ZUMAdLoader& loader) override;
  std::optional<std::string> loadableClassName() const override;

  // The names and keys of the kind.
  static const ZUMNativeAdvancedAdKind& kind();

 private:
  ZUMNativeAppInstallAd(const Json& dictionary, const ZUMAdConfiguration::Options& options);
  explicit ZUMNativeAppInstallAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd)
      : ZUMNativeAdvancedAd(mediatedAd, kind()) {}

  std::optional<std::string> store_;
  std::optional<std::string> price_;
  double starRating_ = 0;
};
