// The presentation state of one asset in a player, after the platform's player item:
// status, duration, current time, the time ranges whose bytes are loaded, whether playback
// is likely to keep up or the buffer is full, an audio mix, and the video outputs that
// pull its frames. Key paths with change notices: "status", "duration",
// "loadedTimeRanges", "playbackLikelyToKeepUp", "playbackBufferFull". Posts
// kPlayerItemDidPlayToEndTimeNotification (object: the item) when it plays to its end.
//
// Loaded ranges come from the bytes present and the file's index, so they are exact at
// every moment; playback is likely to keep up while at least kLikelyToKeepUpAhead seconds
// (or the rest of the item) are loaded ahead of the current time.
//
// Main thread only, except outputs, which their owner may use from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/Error.h"
#include "platform/media/Asset.h"
#include "platform/media/AudioMix.h"
#include "platform/media/KeyValueObservers.h"
#include "platform/media/MediaTime.h"

namespace platform {

class Player;
class PlayerItemVideoOutput;

inline constexpr const char* kPlayerItemDidPlayToEndTimeNotification = "AVPlayerItemDidPlayToEndTimeNotification";

class PlayerItem : public std::enable_shared_from_this<PlayerItem> {
 public:
  enum class Status { Unknown = 0, ReadyToPlay = 1, Failed = 2 };
  static constexpr double kLikelyToKeepUpAhead = 1.0;
  static constexpr double kBufferFullAhead = 10.0;

  static std::shared_ptr<PlayerItem> create(std::shared_ptr<Asset> asset);
  static std::shared_ptr<PlayerItem> create(URL url) { return create(Asset::create(std::move(url))); }
  ~PlayerItem();

  const std::shared_ptr<Asset>& asset() const { return asset_; }
  Status status() const { return status_; }
  ErrorPtr error() const { return error_; }
  // Invalid until known.
  MediaTime duration() const;
  MediaTime currentTime() const;
  MediaTimeRanges loadedTimeRanges() const { return loaded_; }
  bool isPlaybackLikelyToKeepUp() const { return likelyToKeepUp_; }
  bool isPlaybackBufferFull() const { return bufferFull_; }
  bool isPlaybackBufferEmpty() const;

  std::shared_ptr<const AudioMix> audioMix() const { return audioMix_; }
  void setAudioMix(std::shared_ptr<const AudioMix> mix) { audioMix_ = std::move(mix); }

  void addOutput(const std::shared_ptr<PlayerItemVideoOutput>& output);
  void removeOutput(const std::shared_ptr<PlayerItemVideoOutput>& output);
  std::vector<std::shared_ptr<PlayerItemVideoOutput>> outputs() const { return outputs_; }

  KeyValueObservers::Token addObserver(std::string keyPath, std::function<void()> callback);
  void removeObserver(KeyValueObservers::Token token);

  // --- For the player and the outputs --------------------------------------------------
  // The item time at a clock reading (monotonic seconds).
  double timeAtClock(double clock) const;
  // Fixes the time: `time` now, moving at `rate` from clock reading `clock`, never past `limit`.
  void setTimeline(double time, double rate, double clock, double limit);
  double seconds() const;          // current time in seconds
  double loadedEnd() const;        // end of the loaded range holding the current time
  double durationSeconds() const;  // 0 until known
  std::shared_ptr<MediaDecoder> decoder() const { return decoder_; }
  int audioTrackID() const;
  void setPlayer(const std::shared_ptr<Player>& player) { player_ = player; }
  // Recomputes the loaded ranges and the buffering flags for the current time.
  void bytesChanged();
  void updateBuffering();

 private:
  explicit PlayerItem(std::shared_ptr<Asset> asset);
  void start();
  void loaded();  // main thread

  const std::shared_ptr<Asset> asset_;
  std::shared_ptr<MediaDecoder> decoder_;
  Status status_ = Status::Unknown;
  ErrorPtr error_;
  MediaTimeRanges loaded_;
  bool likelyToKeepUp_ = false;
  bool bufferFull_ = false;
  std::shared_ptr<const AudioMix> audioMix_;
  std::vector<std::shared_ptr<PlayerItemVideoOutput>> outputs_;
  KeyValueObservers observers_;
  std::weak_ptr<Player> player_;
  std::shared_ptr<std::atomic<bool>> changePending_ = std::make_shared<std::atomic<bool>>(false);

  // The timeline: time_ at clock_, moving at rate_, held at limit_.
  // Read by video outputs on other threads.
  mutable std::mutex timelineMutex_;
  double time_ = 0, rate_ = 0, clock_ = 0, limit_ = 0;
};

}  // namespace platform
