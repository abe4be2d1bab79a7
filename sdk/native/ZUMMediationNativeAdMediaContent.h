// The media of another network's native ad, as media views and the public video
// controller take it: the network's own media view (when the ad offers one) and a
// ZUMMediationNativeAdVideoController over the ad's video. There is nothing to load:
// the network has its media ready when it delivers the ad.
//
// Main thread only.
#pragma once

#include <memory>

#include "ZUMMediaContentDisplaying.h"

class ZUMMediatedNativeAppInstallAd;
class ZUMMediatedNativeContentAd;
class ZUMMediationNativeAdVideoController;

class ZUMMediationNativeAdMediaContent final : public ZUMMediaContentDisplaying {
 public:
  static std::shared_ptr<ZUMMediationNativeAdMediaContent> createWithMediatedNativeAppInstallAd(
      const std::shared_ptr<ZUMMediatedNativeAppInstallAd>& ad);
  static std::shared_ptr<ZUMMediationNativeAdMediaContent> createWithMediatedNativeContentAd(
      const std::shared_ptr<ZUMMediatedNativeContentAd>& ad);

  // Completes with no error on a later turn of the main queue.
  void loadVideoWithCompletionHandler(CompletionHandler completion) override;
  std::shared_ptr<platform::View> mediaView() override { return mediaView_; }
  std::shared_ptr<ZUMVideoControlling> videoController() const override;
  const std::shared_ptr<ZUMMediationNativeAdVideoController>& mediationVideoController() const {
    return videoController_;
  }

 private:
  ZUMMediationNativeAdMediaContent(std::shared_ptr<platform::View> mediaView,
                                   std::shared_ptr<ZUMMediationNativeAdVideoController> videoController)
      : mediaView_(std::move(mediaView)), videoController_(std::move(videoController)) {}

  const std::shared_ptr<platform::View> mediaView_;
  const std::shared_ptr<ZUMMediationNativeAdVideoController> videoController_;
};
