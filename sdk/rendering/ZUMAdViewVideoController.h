// The video that an ad view's page plays itself: the host's commands go to the page as
// "pubVideoCmd" messages, and the state the page reports ("videoMeta" messages) is kept
// here: whether the ad has video, its duration, playback time and state, mute, aspect
// ratio and custom controls. Changes of playback state and mute are told to the delegate
// (the host's video controller), once per change.
//
// Made with its ad view, which it holds weakly; the delegate is held weakly. Commands
// may come from any thread and reach the page on a later turn of the main queue; the
// rest is main thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include <nlohmann/json_fwd.hpp>

#include "ZUMVideoControlling.h"

class ZUMAdView;
class ZUMAdViewVideoControllerDelegate;

// Playback states a page reports.
inline constexpr std::int64_t kZUMVideoPlaybackStatePlaying = 1;
inline constexpr std::int64_t kZUMVideoPlaybackStateResumed = 2;
inline constexpr std::int64_t kZUMVideoPlaybackStatePaused = 3;
inline constexpr std::int64_t kZUMVideoPlaybackStateEnded = 4;

class ZUMAdViewVideoController final : public ZUMVideoControlling,
                                       public std::enable_shared_from_this<ZUMAdViewVideoController> {
 public:
  static std::shared_ptr<ZUMAdViewVideoController> create(const std::shared_ptr<ZUMAdView>& adView);
  ZUMAdViewVideoController(const ZUMAdViewVideoController&) = delete;
  ZUMAdViewVideoController& operator=(const ZUMAdViewVideoController&) = delete;

  std::shared_ptr<ZUMAdView> adView() const { return adView_.lock(); }
  std::shared_ptr<ZUMAdViewVideoControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMAdViewVideoControllerDelegate>& delegate) { delegate_ = delegate; }

  // --- Commands to the page -----------------------------------------------------------
  // {"action": "play"}, {"action": "pause"}, {"action": "mute"} / {"action": "unmute"}.
  void play() override;
  void pause() override;
  void setMute(bool mute) override;
  // {"action": "initialState", "muteStart": "1" or "0", "customControlsRequested": 1 or
  // 0}, from the options (nullptr: the defaults); their wish for custom controls is kept
  // at once.
  void setInitialStateWithVideoOptions(const std::shared_ptr<ZUMVideoOptions>& options) override;

  // --- State from the page ------------------------------------------------------------
  // Durations, times and aspect ratios that are not finite are stored as 0.
  bool hasVideoContent() const override { return hasVideoContent_; }
  void setHasVideoContent(bool hasVideoContent);
  double videoDuration() const { return videoDuration_; }
  void setVideoDuration(float seconds);
  double currentPlaybackTime() const { return currentPlaybackTime_; }
  void setCurrentPlaybackTime(float seconds);
  std::int64_t videoPlaybackState() const override { return videoPlaybackState_; }
  // A new state is stored; playing (1, 2), paused (3) and ended (4) are told.
  void setVideoPlaybackState(std::int64_t state);
  bool videoMuted() const { return videoMuted_; }
  // A change is stored and told.
  void setVideoMuted(bool muted);
  double aspectRatio() const override { return aspectRatio_; }
  void setAspectRatio(double aspectRatio);
  // Enabled only when the page enables them and the host's video options asked for them.
  bool customControlsEnabled() const override { return customControlsEnabled_ && videoOptionsCustomControlsRequested_; }
  void setCustomControlsEnabled(bool enabled);

 private:
  explicit ZUMAdViewVideoController(const std::shared_ptr<ZUMAdView>& adView) : adView_(adView) {}
  // Posts the command to the page on a later turn of the main queue.
  void sendCommand(nlohmann::ordered_json command);

  std::weak_ptr<ZUMAdView> adView_;
  std::atomic<bool> videoOptionsCustomControlsRequested_{false};
  bool videoMuted_ = false;
  bool hasVideoContent_ = false;
  bool customControlsEnabled_ = false;
  std::weak_ptr<ZUMAdViewVideoControllerDelegate> delegate_;
  std::int64_t videoPlaybackState_ = 0;
  double videoDuration_ = 0;
  double currentPlaybackTime_ = 0;
  double aspectRatio_ = 0;
};
