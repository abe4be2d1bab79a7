#include "PXRCustomRenderedAd.h"

#include "PXRCustomRenderedAdEventHandler.h"
#include "platform/base/MainThreadChecker.h"

std::shared_ptr<PXRCustomRenderedAd> PXRCustomRenderedAd::create(
    std::optional<std::string> adHTML, std::optional<platform::URL> adBaseURL,
    std::shared_ptr<PXRCustomRenderedAdEventHandler> eventHandler) {
  return std::shared_ptr<PXRCustomRenderedAd>(
      new PXRCustomRenderedAd(std::move(adHTML), std::move(adBaseURL), std::move(eventHandler)));
}

PXRCustomRenderedAd::PXRCustomRenderedAd(std::optional<std::string> adHTML, std::optional<platform::URL> adBaseURL,
                                         std::shared_ptr<PXRCustomRenderedAdEventHandler> eventHandler)
    : adHTML_(std::move(adHTML)), adBaseURL_(std::move(adBaseURL)), eventHandler_(std::move(eventHandler)) {}

void PXRCustomRenderedAd::finishedRenderingAdView(const std::shared_ptr<platform::View>& view) {
  platform::assertMainThread();
  if (eventHandler_) eventHandler_->finishedRenderingAdView(view);
  isRendered_ = true;
}

void PXRCustomRenderedAd::recordImpression() {
  platform::assertMainThread();
  if (isRendered_ && eventHandler_) eventHandler_->recordCustomAdImpression();
}

void PXRCustomRenderedAd::recordClick() {
  platform::assertMainThread();
  if (isRendered_ && eventHandler_) eventHandler_->recordClick();
}
