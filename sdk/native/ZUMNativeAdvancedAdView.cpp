#include "sdk/native/ZUMNativeAdvancedAdView.h"

#include "ZUMAdChoicesView.h"
#include "ZUMMediaContentDisplaying.h"
#include "ZUMMediaView.h"
#include "ZUMVideoControlling.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/native/ZUMNativeAdViewPolicy.h"
#include "sdk/native/ZUMNativeAdvancedAd.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"

ZUMNativeAdvancedAdView::ZUMNativeAdvancedAdView(const platform::Rect& frame, const ZUMNativeAdvancedAdKind& kind,
                                                 const char* mediaViewAssetName, const char* adChoicesViewAssetName)
    : platform::View(frame),
      kind_(kind),
      mediaViewAssetName_(mediaViewAssetName),
      adChoicesViewAssetName_(adChoicesViewAssetName) {}

void ZUMNativeAdvancedAdView::commonInit() {
  platform::assertMainThread();
  nativeAdViewPolicy_ = ZUMNativeAdViewPolicy::create(shared_from_this(), kind_.attributionIconAssetName,
                                                      kind_.attributionTextAssetName, kind_.backgroundAssetName, false);
}

std::shared_ptr<ZUMNativeAdvancedAd> ZUMNativeAdvancedAdView::nativeAd() const {
  return std::dynamic_pointer_cast<ZUMNativeAdvancedAd>(nativeAdViewPolicy_->nativeAd());
}

void ZUMNativeAdvancedAdView::setNativeAd(const std::shared_ptr<ZUMNativeAdvancedAd>& ad) {
  platform::assertMainThread();
  nativeAdViewPolicy_->setNativeAd(ad);
  nativeAdViewPolicy_->setDelegate(ad);
  updateMediaView();
}

void ZUMNativeAdvancedAdView::setAssetView(const char* assetName, const std::shared_ptr<platform::View>& view,
                                           std::weak_ptr<platform::View>& field) {
  nativeAdViewPolicy_->replaceAssetWithName(assetName, view, &field);
}

std::shared_ptr<ZUMMediaView> ZUMNativeAdvancedAdView::mediaView() const {
  return std::static_pointer_cast<ZUMMediaView>(mediaView_.lock());
}

void ZUMNativeAdvancedAdView::setMediaView(const std::shared_ptr<ZUMMediaView>& view) {
  setAssetView(mediaViewAssetName_, view, mediaView_);
  updateMediaView();
}

std::shared_ptr<ZUMAdChoicesView> ZUMNativeAdvancedAdView::adChoicesView() const {
  return std::static_pointer_cast<ZUMAdChoicesView>(adChoicesView_.lock());
}

void ZUMNativeAdvancedAdView::setAdChoicesView(const std::shared_ptr<ZUMAdChoicesView>& view) {
  setAssetView(adChoicesViewAssetName_, view, adChoicesView_);
}

void ZUMNativeAdvancedAdView::updateMediaView() {
  const auto ad = nativeAd();
  auto content = ad ? ad->mediaContent() : nullptr;
  const auto controller = content ? content->videoController() : nullptr;
  // A video that has ended no longer counts as shown.
  if (controller && controller->hasVideoContent() && controller->videoPlaybackState() != kZUMVideoPlaybackStateEnded) {
    ad->reportIsMediaContentRendered(!mediaView_.expired());
  }
  platform::DispatchQueue::main()->async(
      [mediaView = std::weak_ptr<platform::View>(mediaView_), content = std::move(content)]() mutable {
        if (auto view = std::static_pointer_cast<ZUMMediaView>(mediaView.lock()))
          view->setMediaContent(std::move(content));
      });
}

void ZUMNativeAdvancedAdView::layoutSubviews() {
  platform::View::layoutSubviews();
  nativeAdViewPolicy_->adViewDidLayoutSubviews();
}

void ZUMNativeAdvancedAdView::didMoveToSuperview() {
  platform::View::didMoveToSuperview();
  nativeAdViewPolicy_->adViewDidMoveToSuperview();
}
