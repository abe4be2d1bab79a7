#include "ZUMMediaView.h"

#include "ZUMMediaContentDisplaying.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/ImageView.h"
#include "sdk/native/ZUMMediaContent.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMVideoPlayer.h"
#include "sdk/request/ZUMSlot.h"

std::shared_ptr<ZUMMediaView> ZUMMediaView::create(const platform::Rect& frame) {
  platform::assertMainThread();
  return std::shared_ptr<ZUMMediaView>(new ZUMMediaView(frame));
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
