#include "ZUMMediaView.h"

#include "ZUMMediaContentDisplaying.h"
#include "ZUMNativeAd.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/ImageView.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/native/ZUMMediaContent.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMVideoPlayer.h"
#include "sdk/request/ZUMSlot.h"

std::shared_ptr<ZUMMediaView> ZUMMediaView::create(const platform::Rect& frame) {
  platform::assertMainThread();
  return std::shared_ptr<ZUMMediaView>(new ZUMMediaView(frame));
}

void ZUMMediaView::setNativeAd(const std::shared_ptr<ZUMNativeAd>& nativeAd) {
  platform::assertMainThread();
  if (nativeAd && nativeAd->adFormatTemplateID() == kCustomTemplateID) {
    ZUMLogger::sharedInstance()->logPublicMessage(
        "Failed to set custom template native ad on media view. Not supported.");
    return;
  }
  if (nativeAd && !nativeAd->mediaContent()) {
    ZUMLogger::sharedInstance()->logPublicMessage("Failed to populate media conent: media content is not available");
    return;
  }
  nativeAd_ = nativeAd;
  // The ad's content is taken on the next turn, once the ad has finished setting up.
  const std::weak_ptr<ZUMMediaView> me = std::static_pointer_cast<ZUMMediaView>(shared_from_this());
  platform::DispatchQueue::main()->async(
      ZUMBindWeak(me, &ZUMMediaView::showMediaContentOfNativeAd, std::weak_ptr<ZUMNativeAd>(nativeAd)));
}

void ZUMMediaView::showMediaContentOfNativeAd(const std::weak_ptr<ZUMNativeAd>& nativeAd) {
  const auto ad = nativeAd.lock();
  setMediaContent(ad ? ad->mediaContent() : nullptr);
}

void ZUMMediaView::setMediaContent(std::shared_ptr<ZUMMediaContentDisplaying> mediaContent) {
  platform::assertMainThread();
  if (auto* old = dynamic_cast<ZUMMediaContent*>(mediaContent_.get())) old->setDelegate(nullptr);
  if (mediaView_) mediaView_->removeFromSuperview();
  mediaView_ = nullptr;
  mediaContent_ = std::move(mediaContent);
  if (!mediaContent_) return;
  if (auto* content = dynamic_cast<ZUMMediaContent*>(mediaContent_.get())) {
    content->setDelegate(std::static_pointer_cast<ZUMMediaView>(shared_from_this()));
  }
  mediaView_ = mediaContent_->mediaView();
  if (!mediaView_) return;
  mediaView_->setFrame(bounds());
  mediaView_->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  addSubview(mediaView_);
  invalidateIntrinsicContentSize();
  setNeedsLayout();
  didMoveToWindow();
}

platform::Size ZUMMediaView::intrinsicContentSize() const {
  if (!mediaView_) return {};
  if (dynamic_cast<const platform::ImageView*>(mediaView_.get())) return mediaView_->intrinsicContentSize();
  if (const auto* adView = dynamic_cast<const ZUMAdView*>(mediaView_.get())) {
    if (const auto& player = adView->videoPlayer()) {
      const auto size = player->videoSize();
      if (size.width != -1 || size.height != -1) return size;
    }
  }
  return mediaView_->frame().size;
}

void ZUMMediaView::didMoveToWindow() {
  platform::View::didMoveToWindow();
  const auto* content = dynamic_cast<const ZUMMediaContent*>(mediaContent_.get());
  if (content && content->slot()) ZUMSlotActiveView::forSlot(*content->slot())->ownerViewDidMoveToWindow(window());
}

ZUMImplemented ZUMMediaView::mediaContentDidLoadVideoWithSize(ZUMMediaContent&, const platform::Size&) {
  platform::assertMainThread();
  invalidateIntrinsicContentSize();
  return kZUMImplemented;
}
