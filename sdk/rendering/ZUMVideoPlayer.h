// The native video player of one ad view, as the ad view's page drives it through the
// in-page video messages. Video playback implements it; the ad view owns its one player
// (ZUMAdView::videoPlayer) and the player goes with the ad view.
//
// Main thread only.
#pragma once

#include "platform/ui/Geometry.h"

class ZUMVideoPlayer {
 public:
  virtual ~ZUMVideoPlayer() = default;

  virtual void load() = 0;
  virtual void playNativePlayer() = 0;
  virtual void pauseNativePlayer() = 0;
  // Seconds from the start of the video; never negative or non-finite.
  virtual void seekToTime(double seconds) = 0;
  virtual void setMuted(bool muted) = 0;
  // 0 (silent) to 1; never non-finite.
  virtual void setVolume(float volume) = 0;
  // The video's size in points; (-1, -1) until it is known.
  virtual platform::Size videoSize() const { return {-1, -1}; }
};
