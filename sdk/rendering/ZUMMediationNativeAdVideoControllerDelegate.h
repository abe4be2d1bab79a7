// What another network's native ad video reports, as the SDK's controller of it
// (ZUMMediationNativeAdVideoController, native area) passes it on: played, paused,
// ended. The public ZUMVideoController listens, to tell the host. Every operation is
// optional.
//
// Main thread only: the controller hops there before telling.
#pragma once

#include <memory>

class ZUMMediationNativeAdVideoController;

class ZUMMediationNativeAdVideoControllerDelegate {
 public:
  virtual ~ZUMMediationNativeAdVideoControllerDelegate() = default;
  virtual void mediationNativeAdVideoControllerDidPlayVideo(ZUMMediationNativeAdVideoController&) {}
  virtual void mediationNativeAdVideoControllerDidPauseVideo(ZUMMediationNativeAdVideoController&) {}
  virtual void mediationNativeAdVideoControllerDidEndVideoPlayback(ZUMMediationNativeAdVideoController&) {}
};

// A video controller that tells one such delegate, held weakly (the public controller
// holds it strongly, so a strong reference back would keep both alive).
class ZUMMediationNativeAdVideoControllerDelegating {
 public:
  virtual ~ZUMMediationNativeAdVideoControllerDelegating() = default;
  virtual void setDelegate(const std::shared_ptr<ZUMMediationNativeAdVideoControllerDelegate>& delegate) = 0;
};
