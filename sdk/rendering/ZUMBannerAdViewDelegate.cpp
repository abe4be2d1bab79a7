#include "sdk/rendering/ZUMBannerAdViewDelegate.h"

#include "sdk/rendering/ZUMOpener.h"

std::shared_ptr<ZUMBannerAdViewDelegate> ZUMBannerAdViewDelegate::create(const std::shared_ptr<ZUMSlot>& slot) {
  std::shared_ptr<ZUMBannerAdViewDelegate> delegate(new ZUMBannerAdViewDelegate(slot));
  delegate->registerHandlers();
  delegate->opener()->setSlot(slot);
  return delegate;
}

ZUMBannerAdViewDelegate::ZUMBannerAdViewDelegate(const std::shared_ptr<ZUMSlot>& slot) : slot_(slot) {}
