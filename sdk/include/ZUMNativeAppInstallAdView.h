// The template view of app-install ads: the host lays out its own subviews, connects
// them to the outlets below and sets the ad; the view then turns taps into the ad's
// clicks on the right asset, records the impression when it is seen, and places the
// ad's AdChoices badge and overlay (its ZUMNativeAdViewPolicy).
//
// Holds the ad (through its policy) strongly and the outlets weakly. Main thread only.
#pragma once

#include <memory>

#include "ZUMNativeAppInstallAd.h"
#include "sdk/native/ZUMNativeAdvancedAdView.h"

namespace platform {
class Coder;
}

class ZUMNativeAppInstallAdView : public ZUMNativeAdvancedAdView {
 public:
  static std::shared_ptr<ZUMNativeAppInstallAdView> create(const platform::Rect& frame = {});
  // From an archive (class "ZUMNativeAppInstallAdView"); nullptr without a usable frame.
  static std::shared_ptr<ZUMNativeAppInstallAdView> create(const platform::Coder& coder);
  static void registerClass();

  std::shared_ptr<ZUMNativeAppInstallAd> nativeAppInstallAd() const;
  void setNativeAppInstallAd(const std::shared_ptr<ZUMNativeAppInstallAd>& ad);

  std::shared_ptr<platform::View> headlineView() const { return headlineView_.lock(); }
  void setHeadlineView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> callToActionView() const { return callToActionView_.lock(); }
  void setCallToActionView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> iconView() const { return iconView_.lock(); }
  void setIconView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> bodyView() const { return bodyView_.lock(); }
  void setBodyView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> storeView() const { return storeView_.lock(); }
  void setStoreView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> priceView() const { return priceView_.lock(); }
  void setPriceView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> imageView() const { return imageView_.lock(); }
  void setImageView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> starRatingView() const { return starRatingView_.lock(); }
  void setStarRatingView(const std::shared_ptr<platform::View>& view);
  // mediaView and adChoicesView: ZUMNativeAdvancedAdView's.

 private:
  explicit ZUMNativeAppInstallAdView(const platform::Rect& frame);

  std::weak_ptr<platform::View> headlineView_;
  std::weak_ptr<platform::View> callToActionView_;
  std::weak_ptr<platform::View> iconView_;
  std::weak_ptr<platform::View> bodyView_;
  std::weak_ptr<platform::View> storeView_;
  std::weak_ptr<platform::View> priceView_;
  std::weak_ptr<platform::View> imageView_;
  std::weak_ptr<platform::View> starRatingView_;
};
