#include "ZUMNativeContentAdView.h"

#include "platform/ui/Coder.h"

using Ad = ZUMNativeContentAd;

ZUMNativeContentAdView::ZUMNativeContentAdView(const platform::Rect& frame)
    : ZUMNativeAdvancedAdView(frame, Ad::kind(), Ad::kMediaViewAsset, Ad::kAdChoicesViewAsset) {}

std::shared_ptr<ZUMNativeContentAdView> ZUMNativeContentAdView::create(const platform::Rect& frame) {
  return finishMaking(std::shared_ptr<ZUMNativeContentAdView>(new ZUMNativeContentAdView(frame)), nullptr);
}

std::shared_ptr<ZUMNativeContentAdView> ZUMNativeContentAdView::create(const platform::Coder& coder) {
  return finishMaking(std::shared_ptr<ZUMNativeContentAdView>(new ZUMNativeContentAdView(platform::Rect::zero())),
                      &coder);
}

void ZUMNativeContentAdView::registerClass() {
  platform::Coder::registerViewClass("ZUMNativeContentAdView",
                                     [](const platform::Coder& coder) { return create(coder); });
}

std::shared_ptr<ZUMNativeContentAd> ZUMNativeContentAdView::nativeContentAd() const {
  return std::dynamic_pointer_cast<ZUMNativeContentAd>(nativeAd());
}

void ZUMNativeContentAdView::setNativeContentAd(const std::shared_ptr<ZUMNativeContentAd>& ad) { setNativeAd(ad); }

void ZUMNativeContentAdView::setHeadlineView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kHeadlineAsset, view, headlineView_);
}
void ZUMNativeContentAdView::setBodyView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kBodyAsset, view, bodyView_);
}
void ZUMNativeContentAdView::setImageView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kImageAsset, view, imageView_);
}
void ZUMNativeContentAdView::setLogoView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kLogoAsset, view, logoView_);
}
void ZUMNativeContentAdView::setCallToActionView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kCallToActionAsset, view, callToActionView_);
}
void ZUMNativeContentAdView::setAdvertiserView(const std::shared_ptr<platform::View>& view) {
  setAssetView(Ad::kAdvertiserAsset, view, advertiserView_);
}
