// The entry through which another network's native ad reports what the user did with it:
// each operation posts one notification whose object is the network's ad (no user info).
// The SDK's native ad that wraps the ad hears the first six; its video controller the
// last three.
//
// Any thread: a notification is heard on the posting thread, and the SDK hops to the
// main thread before anything reaches the host.
#pragma once

#include <memory>

class ZUMMediatedNativeAd;

inline constexpr const char* kZUMMediatedNativeAdDidRecordImpressionNotification =
    "ZUMMediatedNativeAdDidRecordImpressionNotification";
inline constexpr const char* kZUMMediatedNativeAdDidRecordClickNotification =
    "ZUMMediatedNativeAdDidRecordClickNotification";
inline constexpr const char* kZUMMediatedNativeAdWillPresentScreenNotification =
    "ZUMMediatedNativeAdWillPresentScreenNotification";
inline constexpr const char* kZUMMediatedNativeAdWillDismissScreenNotification =
    "ZUMMediatedNativeAdWillDismissScreenNotification";
inline constexpr const char* kZUMMediatedNativeAdDidDismissScreenNotification =
    "ZUMMediatedNativeAdDidDismissScreenNotification";
inline constexpr const char* kZUMMediatedNativeAdWillLeaveApplicationNotification =
    "ZUMMediatedNativeAdWillLeaveApplicationNotification";
inline constexpr const char* kZUMMediatedNativeAdDidPlayVideoNotification =
    "ZUMMediatedNativeAdDidPlayVideoNotification";
inline constexpr const char* kZUMMediatedNativeAdDidPauseVideoNotification =
    "ZUMMediatedNativeAdDidPauseVideoNotification";
inline constexpr const char* kZUMMediatedNativeAdDidEndVideoPlaybackNotification =
    "ZUMMediatedNativeAdDidEndVideoPlaybackNotification";

class ZUMMediatedNativeAdNotificationSource {
 public:
  ZUMMediatedNativeAdNotificationSource() = delete;

  static void mediatedNativeAdDidRecordImpression(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
  static void mediatedNativeAdDidRecordClick(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
  static void mediatedNativeAdWillPresentScreen(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
  static void mediatedNativeAdWillDismissScreen(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
  static void mediatedNativeAdDidDismissScreen(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
  static void mediatedNativeAdWillLeaveApplication(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
  static void mediatedNativeAdDidPlayVideo(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
  static void mediatedNativeAdDidPauseVideo(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
  static void mediatedNativeAdDidEndVideoPlayback(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
};
