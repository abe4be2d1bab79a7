// The native video player that an HTML ad's page drives through its in-page video
// messages (ZUMVideoPlayer). It wraps one platform player for its whole life, asks a new
// single-use ZUMVideoLoader for the item of each source, and reports playback to the page
// as "onVideoEvent" ("canplaythrough" once per source; "play" and "pause" only after it;
// "ended" always; "error" once per failed item; "timeupdate" every 1/4 s while the rate
// is above 0). With the platform's own buffering switched off by the source's
// configuration (set again for each source) it runs its own
// stall rule: a rate that falls to 0 while the page wants playback pauses the player
// until enough is buffered ahead ("bufferForPlaybackMs", after the first stall
// "bufferForPlaybackAfterRebufferMs"). It reports video and sound to the process's
// audio/video manager unless the slot's owner, the user default
// "/vantor/ads/zums:player_to_video_manager_reporting_disabled" or the OS says not to,
// and logs its course to its Fennick logger under "video_player".
//
// Numbers from the page are untrusted: a volume that is negative or not finite is
// ignored, a seek to a time that is negative or not finite is refused. Numbers sent to
// the page are finite: a duration, time or size the platform does not know reads as 0
// (sizes as -1).
//
// Owned by its ad view (held weakly back). Posts
// "ZUMVideoPlayerWillStartBufferingNotification" and
// "ZUMVideoPlayerDidStopBufferingNotification" (object: the player) once per change;
// the end of buffering at teardown reaches the player's observers as its ending
// object's notice (Notification::fromEndingObject). Main thread only, except
// addPeriodicTimeObserver() (any thread).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/media/KeyValueObservers.h"
#include "platform/media/Player.h"
#include "platform/ui/Geometry.h"
#include "sdk/rendering/ZUMVideoPlayer.h"
#include "sdk/video/ZUMVideoLoaderDelegate.h"
#include "sdk/video/ZUMVideoLoadingPlayer.h"

namespace platform {
class PlayerItem;
}

class ZUMAdView;
class ZUMAudioVideoManagerImpl;
class ZUMFennickLogger;
class ZUMResourceCache;
class ZUMVideoConfiguration;
class ZUMVideoConfigurationImpl;
class ZUMVideoLoader;
class ZUMVideoPlayerDelegate;

inline constexpr const char* kZUMVideoPlayerWillStartBufferingNotification =
    "ZUMVideoPlayerWillStartBufferingNotification";
inline constexpr const char* kZUMVideoPlayerDidStopBufferingNotification = "ZUMVideoPlayerDidStopBufferingNotification";

class ZUMVideoPlayerImpl final : public ZUMVideoPlayer,
                                 public ZUMVideoLoadingPlayer,
                                 public ZUMVideoLoaderDelegate,
                                 public std::enable_shared_from_this<ZUMVideoPlayerImpl> {
 public:
  // "/vantor/ads/" + this.
  static constexpr const char* kReportingDisabledName = "zums:player_to_video_manager_reporting_disabled";
  // Seconds between "timeupdate" events.
  static constexpr double kTimeUpdateInterval = 0.25;

  static std::shared_ptr<ZUMVideoPlayerImpl> create(const std::shared_ptr<ZUMAdView>& adView);
  ~ZUMVideoPlayerImpl() override;
  ZUMVideoPlayerImpl(const ZUMVideoPlayerImpl&) = delete;
  ZUMVideoPlayerImpl& operator=(const ZUMVideoPlayerImpl&) = delete;

  // Starts loading a new source (a nullopt URL too: its failure ends the buffering).
  void setSourceURL(const std::optional<platform::URL>& url, const std::shared_ptr<ZUMResourceCache>& resourceCache,
                    const std::shared_ptr<ZUMVideoConfiguration>& configuration);
  const std::optional<platform::URL>& sourceURL() const { return sourceURL_; }

  // --- ZUMVideoPlayer -------------------------------------------------------------------
  void load() override {}
  void playNativePlayer() override;
  void pauseNativePlayer() override;
  void seekToTime(double seconds) override;
  void setMuted(bool muted) override;
  void setVolume(float volume) override;

  // The page events "play" / "pause" (after "canplaythrough" only); the player is untouched.
  void play();
  void pause();
  // 0...1 on every audio track of the current item; 1 removes the mix.
  void setAudioMixVolume(float volume);
  // The last video track's size turned by its transform, in points; (-1, -1) without one.
  platform::Size videoSize() const override;
  bool isMuted() const { return muted_; }
  float volume() const { return volume_; }
  bool isBuffering() const { return isBuffering_; }
  bool isPlaybackStalled() const { return playbackStalled_; }
  bool isReportingToAudioVideoManagerDisabled() const { return reportingDisabled_; }

  const std::shared_ptr<platform::Player>& player() const { return player_; }
  std::shared_ptr<ZUMAdView> adView() const { return adView_.lock(); }
  std::shared_ptr<ZUMVideoPlayerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMVideoPlayerDelegate>& delegate) { delegate_ = delegate; }
  const std::shared_ptr<ZUMFennickLogger>& logger() const { return logger_; }
  // Takes the logger of this player's tree in the logging hierarchy.
  void resetLogger();

  // --- ZUMVideoLoadingPlayer ------------------------------------------------------------
  bool hasPostedCanPlayThrough() const override { return hasPostedCanPlayThrough_; }
  void addPeriodicTimeObserver(platform::MediaTime interval, std::shared_ptr<platform::DispatchQueue> queue,
                               std::function<void(platform::MediaTime)> block,
                               std::function<void(Token)> completion) override;
  void removeTimeObserver(const Token& token) override;

  // --- ZUMVideoLoaderDelegate -----------------------------------------------------------
  void videoLoaderDidStartedLoadingURL(ZUMVideoLoader& loader, const std::optional<platform::URL>& url) override;
  void videoLoaderDidFailToLoadURL(ZUMVideoLoader& loader, const std::optional<platform::URL>& url,
                                   const platform::ErrorPtr& error) override;

 private:
  explicit ZUMVideoPlayerImpl(const std::shared_ptr<ZUMAdView>& adView);
  static bool reportingDisabledFor(const std::shared_ptr<ZUMAdView>& adView);

  // Observation (ZUMVideoPlayerImpl+Observation.cpp).
  void observePlayer();
  void stopObservingPlayer();
  void observeValueForKeyPath(const std::string& keyPath);
  // Posts "error" once for each item that failed (or the player, without an item).
  void reportFailedItem();
  void rateChanged();
  // Whether the source's configuration switches the platform's buffering off for this
  // player's own stall rule.
  bool ownBuffering() const;
  void currentItemChanged();
  void observeItemEnd(const std::shared_ptr<platform::PlayerItem>& item);
  void stopObservingItemEnd();
  void observeLoadedTimeRanges();
  void stopObservingLoadedTimeRanges();
  void handlePlayerItemDurationLoadUpdate();
  void notifyVideoPlayerWithTime(platform::MediaTime time);
  void itemDidPlayToEnd();

  // Page events, buffering notices, reports and logs.
  void postVideoEvent(const nlohmann::ordered_json& event);
  void videoIsReadyToPlay();
  void notifyVideoReadyToPlay();
  void tellDelegateDidLoad();
  void willStartBuffering();
  void didStopBuffering();
  using Report = void (ZUMAudioVideoManagerImpl::*)(const std::shared_ptr<platform::Player>&);
  void report(Report report);
  void logEvent(const std::string& name, const nlohmann::ordered_json& value);
  // {"url", "is_tcache"}; nullopt for no URL or an empty one.
  static std::optional<nlohmann::ordered_json> urlDictionary(const std::optional<platform::URL>& url);
  double bufferedAheadSeconds(const platform::PlayerItem& item) const;

  const std::weak_ptr<ZUMAdView> adView_;
  const std::shared_ptr<platform::Player> player_ = platform::Player::create();
  const bool reportingDisabled_;
  std::shared_ptr<platform::PlayerItem> playerItem_;
  std::weak_ptr<platform::PlayerItem> failedItem_;  // the last item "error" was posted for
  std::shared_ptr<ZUMVideoLoader> videoLoader_;
  std::shared_ptr<ZUMVideoConfiguration> configuration_;
  std::shared_ptr<ZUMVideoConfigurationImpl> bufferingConfiguration_;  // configuration_ when it is one
  std::optional<platform::URL> sourceURL_;
  std::weak_ptr<ZUMVideoPlayerDelegate> delegate_;
  std::shared_ptr<ZUMFennickLogger> logger_;

  bool isBuffering_ = false;
  bool hasPostedCanPlayThrough_ = false;
  bool isObserving_ = false;
  bool playing_ = false;
  bool playbackStalled_ = false;
  bool hasPlaybackStalledAtLeastOnce_ = false;
  bool muted_ = false;
  float volume_ = 1.0f;

  std::vector<platform::KeyValueObservers::Token> playerObservers_;
  platform::Player::TimeObserverToken timeObserver_;
  std::vector<Token> periodicTimeObservers_;
  platform::NotificationCenter::Token itemEndObserver_;
  std::shared_ptr<platform::PlayerItem> loadedRangesItem_;  // observed while stalled
  std::optional<platform::KeyValueObservers::Token> loadedRangesObserver_;
};
