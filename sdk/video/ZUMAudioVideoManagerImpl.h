// The SDK's audio/video manager (ZUMAudioVideoManager): it counts the ad players that
// play video and those that play sound, and moves the shared audio session between
// mixable (silent video: other audio keeps playing) and not mixable (sound: other audio
// is interrupted), and back to the application's own settings when all video stops.
// Players are known by identity and held weakly: a player that has gone counts no more.
//
// One per process, made through ZUMMobileAds::audioVideoManager(). The player reports
// and the delegate calls: main thread only. The application-facing properties: any thread.
#pragma once

#include <memory>
#include <mutex>
#include <set>

#include "sdk/include/ZUMAudioVideoManager.h"

namespace platform {
class Player;
}

class ZUMAudioVideoManagerImpl final : public ZUMAudioVideoManager,
                                       public std::enable_shared_from_this<ZUMAudioVideoManagerImpl> {
 public:
  // "/vantor/ads/" + this: with an application-managed session, ad sound leaves it alone.
  static constexpr const char* kPubUnmutedAudioCategoryControlName =
      "zums:pub_unmuted_video_audio_category_control_enabled";

  // nullptr on systems older than 7.0.
  static std::shared_ptr<ZUMAudioVideoManagerImpl> create();
  // The process's manager (ZUMMobileAds'), when it is one of these.
  static std::shared_ptr<ZUMAudioVideoManagerImpl> shared();

  bool audioSessionIsApplicationManaged() const override;
  void setAudioSessionIsApplicationManaged(bool applicationManaged) override;
  std::shared_ptr<ZUMAudioVideoManagerDelegate> delegate() const override;
  void setDelegate(std::weak_ptr<ZUMAudioVideoManagerDelegate> delegate) override;

  // What the ad players report.
  void playerWillStartPlayingVideo(const std::shared_ptr<platform::Player>& player);
  void playerDidPauseVideo(const std::shared_ptr<platform::Player>& player);
  void playerWillStartPlayingSound(const std::shared_ptr<platform::Player>& player);
  void playerDidStopPlayingSound(const std::shared_ptr<platform::Player>& player);

  std::size_t playingVideoCount() const { return playingVideos_.size(); }
  std::size_t soundVideoCount() const { return soundVideos_.size(); }

 private:
  using Players = std::set<std::weak_ptr<platform::Player>, std::owner_less<>>;
  ZUMAudioVideoManagerImpl() = default;
  void updateAudioSessionAfterAllVideoStopPlayingSound();
  void purgeGonePlayers();
  // Tells the delegate, if any, on the main thread (we are on it).
  template <class Call>
  void tellDelegate(Call call);

  Players playingVideos_;  // main thread
  Players soundVideos_;    // main thread
  mutable std::mutex mutex_;
  bool audioSessionIsApplicationManaged_ = false;         // mutex_
  std::weak_ptr<ZUMAudioVideoManagerDelegate> delegate_;  // mutex_
};
