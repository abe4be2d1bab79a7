// Plays one player item at a time, after the platform's player: rate, status, play,
// pause, seeking, volume and mute, periodic time observers on a queue, change notices
// for "rate", "status", "timeControlStatus", "currentItem" and the item's own key paths
// as "currentItem.<key>", and the wait-to-minimise-stalling switch: on, the time holds at
// the end of the loaded data until playback is likely to keep up again; off, the rate
// falls to 0 there. At the item's end the player pauses and the item posts its notice.
//
// Media time comes from the platform clock: under the virtual clock a test that moves time
// one second sees exactly the observer ticks, frames and sound due in that second. Sound
// goes to audioOutput() (no sound device here); decoding runs on the item's decoding thread.
//
// Main thread only; periodic observers run on their queue.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/Error.h"
#include "platform/media/AudioRecordingOutput.h"
#include "platform/media/KeyValueObservers.h"
#include "platform/media/MediaTime.h"

namespace platform {

class DispatchQueue;
class PlayerItem;
class Timer;

class Player : public std::enable_shared_from_this<Player> {
 public:
  enum class Status { Unknown = 0, ReadyToPlay = 1, Failed = 2 };
  enum class TimeControlStatus { Paused = 0, WaitingToPlayAtSpecifiedRate = 1, Playing = 2 };
  using TimeObserverToken = std::shared_ptr<const void>;
  // Sound is rendered into the output in steps of this much item time while playing.
  static constexpr double kAudioStep = 0.1;

  static std::shared_ptr<Player> create(std::shared_ptr<PlayerItem> item = nullptr);
  ~Player();

  Status status() const { return status_; }
  ErrorPtr error() const { return error_; }
  const std::shared_ptr<PlayerItem>& currentItem() const { return item_; }
  void replaceCurrentItem(std::shared_ptr<PlayerItem> item);

  float rate() const { return rate_; }
  void setRate(float rate);
  void play() { setRate(1.0f); }
  void pause() { setRate(0.0f); }
  TimeControlStatus timeControlStatus() const;
  bool automaticallyWaitsToMinimizeStalling() const { return waitsToMinimizeStalling_; }
  void setAutomaticallyWaitsToMinimizeStalling(bool waits);

  MediaTime currentTime() const;
  // Moves to `time` (clamped to the item); `completion` (if any) runs on the main queue
  // with true, or false when a later seek replaced this one.
  void seekToTime(MediaTime time, std::function<void(bool finished)> completion = {});

  float volume() const { return volume_; }
  void setVolume(float volume);
  bool isMuted() const { return muted_; }
  void setMuted(bool muted) { muted_ = muted; }

  // Calls `block` on `queue` (main when null) with the current time every `interval` of
  // item time while playing, and whenever the time jumps or playback starts or stops.
  TimeObserverToken addPeriodicTimeObserver(MediaTime interval, std::shared_ptr<DispatchQueue> queue,
                                            std::function<void(MediaTime)> block);
  void removeTimeObserver(const TimeObserverToken& token);

  KeyValueObservers::Token addObserver(std::string keyPath, std::function<void()> callback);
  void removeObserver(KeyValueObservers::Token token);

  AudioRecordingOutput& audioOutput() { return audio_; }

  // From the current item: its status, loaded ranges or buffering changed.
  void itemChanged(PlayerItem& item);

 private:
  struct TimeObserver;
  Player() = default;
  void observeItem();
  void update();  // the engine: see Player.cpp
  void retime(double time);
  void setRateValue(float rate);
  void reachEnd(double duration);
  void stall(double at);
  void renderAudio(double upTo);
  void fireObservers(double time, bool always);
  void schedule(double time);
  bool effectivelyPlaying() const { return rate_ > 0 && !waiting_; }

  std::shared_ptr<PlayerItem> item_;
  std::vector<std::pair<std::string, std::uint64_t>> itemTokens_;
  Status status_ = Status::Unknown;
  ErrorPtr error_;
  float rate_ = 0;
  bool waiting_ = false;  // held by the stall rule with the rate kept
  bool waitsToMinimizeStalling_ = true;
  bool endPosted_ = false;
  bool timelineStarted_ = false;  // the current item's timeline was set once it was ready
  float volume_ = 1.0f;
  bool muted_ = false;
  double audioRendered_ = 0;  // item time up to which sound was rendered
  std::vector<std::shared_ptr<TimeObserver>> timeObservers_;
  std::shared_ptr<Timer> timer_;
  KeyValueObservers observers_;
  AudioRecordingOutput audio_;
  int seekGeneration_ = 0;
};

}  // namespace platform
