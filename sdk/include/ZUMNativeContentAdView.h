// The template view of content ads: the host lays out its own subviews, connects them to
// the outlets below and sets the ad; the view then turns taps into the ad's clicks on
// the right asset, records the impression when it is seen, and places the ad's AdChoices
// badge and overlay (its ZUMNativeAdViewPolicy).
//
// Holds the ad (through its policy) strongly and the outlets weakly. Main thread only.
#pragma once

#include <memory>

#include "ZUMNativeContentAd.h"
#include "sdk/native/ZUMNativeAdvancedAdView.h"

namespace platform {
class Coder;
}

class ZUMNativeContentAdView : public ZUMNativeAdvancedAdView {
 public:
  static std::shared_ptr<ZUMNativeContentAdView> create(const platform::Rect& frame = {});
  // From an archive (class "ZUMNativeContentAdView"); nullptr without a usable frame.
  static std::shared_ptr<ZUMNativeContentAdView> create(const platform::Coder& coder);
  static void registerClass();

  std::shared_ptr<ZUMNativeContentAd> nativeContentAd() const;
  void setNativeContentAd(const std::shared_ptr<ZUMNativeContentAd>& ad);

  std::shared_ptr<platform::View> headlineView() const { return headlineView_.lock(); }
  void setHeadlineView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> bodyView() const { return bodyView_.lock(); }
  void setBodyView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> imageView() const { return imageView_.lock(); }
  void setImageView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> logoView() const { return logoView_.lock(); }
  void setLogoView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> callToActionView() const { return callToActionView_.lock(); }
  void setCallToActionView(const std::shared_ptr<platform::View>& view);
  std::shared_ptr<platform::View> advertiserView() const { return advertiserView_.lock(); }
  void setAdvertiserView(const std::shared_ptr<platform::View>& view);
  // mediaView and adChoicesView: ZUMNativeAdvancedAdView's.

 private:
  explicit ZUMNativeContentAdView(const platform::Rect& frame);

  std::weak_ptr<platform::View> headlineView_;
  std::weak_ptr<platform::View> bodyView_;
  std::weak_ptr<platform::View> imageView_;
  std::weak_ptr<platform::View> logoView_;
  std::weak_ptr<platform::View> callToActionView_;
  std::weak_ptr<platform::View> advertiserView_;
};
