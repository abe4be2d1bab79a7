#include "ZUMAdChoicesView.h"

#include "ZUMNativeAd.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/foundation/ZUMLogger.h"

namespace {
// The template id of custom template ads, which have no AdChoices content.
constexpr const char* kCustomTemplateID = "3";
}  // namespace

std::shared_ptr<ZUMAdChoicesView> ZUMAdChoicesView::create(const platform::Rect& frame) {
  platform::assertMainThread();
  return std::shared_ptr<ZUMAdChoicesView>(new ZUMAdChoicesView(frame));
}

void ZUMAdChoicesView::setNativeAd(const std::shared_ptr<ZUMNativeAd>& nativeAd) {
  platform::assertMainThread();
  if (nativeAd && nativeAd->adFormatTemplateID() == kCustomTemplateID) {
    ZUMLog(kZUMLogLevelDefault, "Failed to set custom template native ad on AdChoices view. Not supported.");
    return;
  }
  nativeAd_ = nativeAd;
  setAdChoicesContentView(nativeAd ? nativeAd->adChoicesContentView() : nullptr);
}

void ZUMAdChoicesView::setAdChoicesContentView(const std::shared_ptr<platform::View>& view) {
  platform::assertMainThread();
  if (view == adChoicesContentView_) return;
  if (adChoicesContentView_) adChoicesContentView_->removeFromSuperview();
  adChoicesContentView_ = view;
  if (view) {
    addSubview(view);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
  }
  setNeedsLayout();
}

platform::Size ZUMAdChoicesView::intrinsicContentSize() const {
  if (!adChoicesContentView_) return platform::View::intrinsicContentSize();
  return adChoicesContentView_->intrinsicContentSize();
}

void ZUMAdChoicesView::layoutSubviews() {
  platform::View::layoutSubviews();
  if (!adChoicesContentView_) return;
  const platform::Rect area = bounds();
  adChoicesContentView_->setCenter({area.midX(), area.midY()});
}
