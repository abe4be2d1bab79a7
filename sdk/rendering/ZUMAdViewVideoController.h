// The state of the video that an ad view's page plays itself, as the page reports it
// ("videoMeta" messages): whether the ad has video, its duration, playback time and
// state, mute, aspect ratio and custom controls. Changes of playback state and mute are
// told to the delegate (the host's video controller), once per change.
//
// Made with its ad view, which it holds weakly; the delegate is held weakly.
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

class ZUMAdView;
class ZUMAdViewVideoControllerDelegate;

// Playback states a page reports.
inline constexpr std::int64_t kZUMVideoPlaybackStatePlaying = 1;
inline constexpr std::int64_t kZUMVideoPlaybackStateResumed = 2;
inline constexpr std::int64_t kZUMVideoPlaybackStatePaused = 3;
inline constexpr std::int64_t kZUMVideoPlaybackStateEnded = 4;

class ZUMAdViewVideoController {
 public:
  static std::shared_ptr<ZUMAdViewVideoController> create(const std::shared_ptr<ZUMAdView>& adView);
  ZUMAdViewVideoController(const ZUMAdViewVideoController&) = delete;
  ZUMAdViewVideoController& operator=(const ZUMAdViewVideoController&) = delete;

  std::shared_ptr<ZUMAdView> adView() const { return adView_.lock(); }
  std::shared_ptr<ZUMAdViewVideoControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMAdViewVideoControllerDelegate>& delegate) { delegate_ = delegate; }

  bool hasVideoContent() const { return hasVideoContent_; }
  void setHasVideoContent(bool hasVideoContent);
  double videoDuration() const { return videoDuration_; }
  void setVideoDuration(float seconds);
  double currentPlaybackTime() const { return currentPlaybackTime_; }
  void setCurrentPlaybackTime(float seconds);
  std::int64_t videoPlaybackState() const { return videoPlaybackState_; }
  // A new state is stored; playing (1, 2), paused (3) and ended (4) are told.
  void setVideoPlaybackState(std::int64_t state);
  bool videoMuted() const { return videoMuted_; }
  // A change is stored and told.
  void setVideoMuted(bool muted);
  double aspectRatio() const { return aspectRatio_; }
  void setAspectRatio(double aspectRatio);
  // Enabled only when the page enables them and the host's video options asked for them.
  bool customControlsEnabled() const { return customControlsEnabled_ && videoOptionsCustomControlsRequested_; }
  void setCustomControlsEnabled(bool enabled);

 private:
  explicit ZUMAdViewVideoController(const std::shared_ptr<ZUMAdView>& adView) : adView_(adView) {}

  std::weak_ptr<ZUMAdView> adView_;
  bool videoOptionsCustomControlsRequested_ = false;
  bool videoMuted_ = false;
  bool hasVideoContent_ = false;
  bool customControlsEnabled_ = false;
  std::weak_ptr<ZUMAdViewVideoControllerDelegate> delegate_;
  std::int64_t videoPlaybackState_ = 0;
  double videoDuration_ = 0;
  double currentPlaybackTime_ = 0;
  double aspectRatio_ = 0;
};
