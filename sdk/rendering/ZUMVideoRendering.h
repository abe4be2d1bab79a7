// What the ad view and its in-page video messages ask of the view that shows an ad view's
// video (flat or 360-degree): to show a player, and its playback optimisation, switched
// off, reset (an item is attached) and on again around a play, and told whether the ad is
// visible. Video playback's player views implement it.
//
// Main thread only.
#pragma once

#include <memory>

namespace platform {
class Player;
}

class ZUMVideoRendering {
 public:
  virtual ~ZUMVideoRendering() = default;

  virtual void setUpWithPlayer(const std::shared_ptr<platform::Player>& player) = 0;
  virtual void disableVideoPlaybackOptimization() = 0;
  virtual void resetVideoPlaybackOptimization() = 0;
  virtual void enableVideoPlaybackOptimization() = 0;
  virtual void optimizeVideoForAdVisibility(bool visible) = 0;
};
