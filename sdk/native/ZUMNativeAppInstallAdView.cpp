#include "ZUMNativeAppInstallAdView.h"

#include "platform/ui/Coder.h"

using Ad = ZUMNativeAppInstallAd;

ZUMNativeAppInstallAdView::ZUMNativeAppInstallAdView(const platform::Rect& frame)
    : ZUMNativeAdvancedAdView(frame, Ad::kind(), Ad::kMediaViewAsset, Ad::kAdChoicesViewAsset) {}

std::shared_ptr<ZUMNativeAppInstallAdView> ZUMNativeAppInstallAdView::create(const platform::Rect& frame) {
  return finishMaking(std::shared_ptr<ZUMNativeAppInstallAdView>(new ZUMNativeAppInstallAdView(frame)), nullptr);
}

std::shared_ptr<ZUMNativeAppInstallAdView> ZUMNativeAppInstallAdView::create(const platform::Coder& coder) {
  return finishMaking(std::shared_ptr<ZUMNativeAppInstallAdView>(new ZUMNativeAppInstallAdView(platform::Rect::zero())),
                      &coder);
}

void ZUMNativeAppInstallAdView::registerClass() {
  platform::Coder::registerViewClass("ZUMNativeAppInstallAdView",
                                     [](const platform::Coder& coder) { return create(coder); });
}

std::shared_ptr<ZUMNativeAppInstallAd> ZUMNativeAppInstallAdView::nativeAppInstallAd() const {
  return std::dynamic_pointer_cast<ZUMNativeAppInstallAd>(nativeAd());
}

void ZUMNativeAppInstallAdView::setNativeAppInstallAd(const std::shared_ptr<ZUMNativeAppInstallAd>& ad) {
  setNativeAd(ad);
}

void ZUMNativeAppInstallAdView::setHeadlineView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kHeadlineAsset, view, headlineView_);
}
void ZUMNativeAppInstallAdView::setCallToActionView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kCallToActionAsset, view, callToActionView_);
}
void ZUMNativeAppInstallAdView::setIconView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kIconAsset, view, iconView_);
}
void ZUMNativeAppInstallAdView::setBodyView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kBodyAsset, view, bodyView_);
}
void ZUMNativeAppInstallAdView::setStoreView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kStoreAsset, view, storeView_);
}
void ZUMNativeAppInstallAdView::setPriceView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kPriceAsset, view, priceView_);
}
void ZUMNativeAppInstallAdView::setImageView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kImageAsset, view, imageView_);
}
void ZUMNativeAppInstallAdView::setStarRatingView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kStarRatingAsset, view, starRatingView_);
}
