// Hears the playback changes that an ad view's page reports for a video it plays itself
// (the public video controller relays them to the host). Every operation is optional.
//
// Main thread only.
#pragma once

class ZUMAdViewVideoController;

class ZUMAdViewVideoControllerDelegate {
 public:
  virtual ~ZUMAdViewVideoControllerDelegate() = default;

  virtual void adViewVideoControllerDidPlayVideo(ZUMAdViewVideoController&) {}
  virtual void adViewVideoControllerDidPauseVideo(ZUMAdViewVideoController&) {}
  virtual void adViewVideoControllerDidEndVideoPlayback(ZUMAdViewVideoController&) {}
  virtual void adViewVideoControllerDidMuteVideo(ZUMAdViewVideoController&) {}
  virtual void adViewVideoControllerDidUnmuteVideo(ZUMAdViewVideoController&) {}
};
