// What the in-page video messages ask of the view that shows an ad view's video (flat or
// 360-degree): its playback optimisation, switched off, reset (an item is attached) and
// on again around a play. Video playback's player views implement it.
//
// Main thread only.
#pragma once

class ZUMVideoRendering {
 public:
  virtual ~ZUMVideoRendering() = default;

  virtual void disableVideoPlaybackOptimization() = 0;
  virtual void resetVideoPlaybackOptimization() = 0;
  virtual void enableVideoPlaybackOptimization() = 0;
};
