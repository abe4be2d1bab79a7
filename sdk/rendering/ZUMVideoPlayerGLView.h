// What the in-page video messages ask of the 360-degree player view: to pan by the
// finger's movement. A player view that is not one (dynamic_cast) ignores the message.
// Video playback's 360-degree view implements it.
//
// Main thread only.
#pragma once

class ZUMVideoPlayerGLView {
 public:
  virtual ~ZUMVideoPlayerGLView() = default;

  // Points moved since the last report; never non-finite.
  virtual void handleUserTouchMovedByVector(float dx, float dy) = 0;
};
