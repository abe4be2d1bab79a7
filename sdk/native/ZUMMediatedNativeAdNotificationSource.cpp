#include "ZUMMediatedNativeAdNotificationSource.h"

#include "ZUMMediatedNativeAd.h"
#include "platform/base/NotificationCenter.h"

namespace {

// The object is the ad as ZUMMediatedNativeAd, as its observers register it.
void post(const char* name, const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  platform::NotificationCenter::defaultCenter().post(name, std::shared_ptr<void>(ad));
}

}  // namespace

void ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidRecordImpression(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  post(kZUMMediatedNativeAdDidRecordImpressionNotification, ad);
}
void ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidRecordClick(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  post(kZUMMediatedNativeAdDidRecordClickNotification, ad);
}
void ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillPresentScreen(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  post(kZUMMediatedNativeAdWillPresentScreenNotification, ad);
}
void ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillDismissScreen(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  post(kZUMMediatedNativeAdWillDismissScreenNotification, ad);
}
void ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidDismissScreen(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  post(kZUMMediatedNativeAdDidDismissScreenNotification, ad);
}
void ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillLeaveApplication(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  post(kZUMMediatedNativeAdWillLeaveApplicationNotification, ad);
}
void ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidPlayVideo(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  post(kZUMMediatedNativeAdDidPlayVideoNotification, ad);
}
void ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidPauseVideo(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  post(kZUMMediatedNativeAdDidPauseVideoNotification, ad);
}
void ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidEndVideoPlayback(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  post(kZUMMediatedNativeAdDidEndVideoPlaybackNotification, ad);
}
