#include "sdk/native/ZUMMediationNativeAdMediaContent.h"

#include <utility>

#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMMediatedNativeContentAd.h"
#include "platform/base/DispatchQueue.h"
#include "sdk/native/ZUMMediationNativeAdVideoController.h"

std::shared_ptr<ZUMMediationNativeAdMediaContent>
ZUMMediationNativeAdMediaContent::createWithMediatedNativeAppInstallAd(
    const std::shared_ptr<ZUMMediatedNativeAppInstallAd>& ad) {
  return std::shared_ptr<ZUMMediationNativeAdMediaContent>(new ZUMMediationNativeAdMediaContent(
      ad ? ad->mediaView() : nullptr, ZUMMediationNativeAdVideoController::createWithMediatedNativeAppInstallAd(ad)));
}

std::shared_ptr<ZUMMediationNativeAdMediaContent> ZUMMediationNativeAdMediaContent::createWithMediatedNativeContentAd(
    const std::shared_ptr<ZUMMediatedNativeContentAd>& ad) {
  return std::shared_ptr<ZUMMediationNativeAdMediaContent>(new ZUMMediationNativeAdMediaContent(
      ad ? ad->mediaView() : nullptr, ZUMMediationNativeAdVideoController::createWithMediatedNativeContentAd(ad)));
}

void ZUMMediationNativeAdMediaContent::loadVideoWithCompletionHandler(CompletionHandler completion) {
  if (!completion) return;
  platform::DispatchQueue::main()->async([completion = std::move(completion)] { completion(nullptr); });
}

std::shared_ptr<ZUMVideoControlling> ZUMMediationNativeAdMediaContent::videoController() const {
  return videoController_;
}
