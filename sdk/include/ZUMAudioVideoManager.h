// The process-wide keeper of the audio session while ads play video: it counts the ad
// players that play video and those that play sound, and lets the application's own
// audio mix with silent ad video. The application reaches it through
// ZUMMobileAds::audioVideoManager(), to say that it manages the audio session itself and
// to listen to the manager. Video playback provides it; the ad players report to it.
// Thread-safe.
#pragma once

#include <memory>

#include "ZUMAudioVideoManagerDelegate.h"

class ZUMAudioVideoManager {
 public:
  virtual ~ZUMAudioVideoManager() = default;

  // Whether the application manages the shared audio session itself (false at first):
  // the SDK then leaves the session's category to it.
  virtual bool audioSessionIsApplicationManaged() const = 0;
  virtual void setAudioSessionIsApplicationManaged(bool applicationManaged) = 0;

  // The application's listener, held weakly.
  virtual std::shared_ptr<ZUMAudioVideoManagerDelegate> delegate() const = 0;
  virtual void setDelegate(std::weak_ptr<ZUMAudioVideoManagerDelegate> delegate) = 0;
};
