// The host's handle on an ad's video: play, pause, mute, and the playback state. An ad
// hands one out for its whole life and plugs the controller of whatever it shows into it
// (setInternalVideoController); every command and query goes to that inner controller,
// and the inner controller's playback news reaches the host's delegate on the main
// queue.
//
// Commands from any thread; the inner controller is set on the main thread. The
// delegate is held weakly, the inner controller strongly.
#pragma once

#include <memory>
#include <mutex>

#include "ZUMVideoControllerDelegate.h"
#include "ZUMVideoControlling.h"
#include "sdk/rendering/ZUMAdViewVideoControllerDelegate.h"
#include "sdk/rendering/ZUMMediationNativeAdVideoControllerDelegate.h"

class ZUMVideoController final : public ZUMVideoControlling,
                                 public ZUMVideoControllerDelegate,
                                 public ZUMAdViewVideoControllerDelegate,
                                 public ZUMMediationNativeAdVideoControllerDelegate,
                                 public std::enable_shared_from_this<ZUMVideoController> {
 public:
  static std::shared_ptr<ZUMVideoController> create();

  std::shared_ptr<ZUMVideoControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMVideoControllerDelegate>& delegate) { delegate_ = delegate; }
  std::shared_ptr<ZUMVideoControlling> internalVideoController() const;
  // Leaves the old inner controller and listens to the new one (nullptr: none). Only
  // the SDK's own controllers are listened to; another is kept without a delegate.
  void setInternalVideoController(std::shared_ptr<ZUMVideoControlling> controller);

  // --- ZUMVideoControlling: the inner controller's, or nothing and zero without one ---
  void setMute(bool mute) override;
  void play() override;
  void pause() override;
  void setInitialStateWithVideoOptions(const std::shared_ptr<ZUMVideoOptions>& options) override;
  bool hasVideoContent() const override;
  double aspectRatio() const override;
  bool customControlsEnabled() const override;
  std::int64_t videoPlaybackState() const override;

  // --- Relays of the inner controller's news to the host ---------------------------
  void adViewVideoControllerDidPlayVideo(ZUMAdViewVideoController&) override;
  void adViewVideoControllerDidPauseVideo(ZUMAdViewVideoController&) override;
  void adViewVideoControllerDidEndVideoPlayback(ZUMAdViewVideoController&) override;
  void adViewVideoControllerDidMuteVideo(ZUMAdViewVideoController&) override;
  void adViewVideoControllerDidUnmuteVideo(ZUMAdViewVideoController&) override;
  void mediationNativeAdVideoControllerDidPlayVideo(ZUMMediationNativeAdVideoController&) override;
  void mediationNativeAdVideoControllerDidPauseVideo(ZUMMediationNativeAdVideoController&) override;
  void mediationNativeAdVideoControllerDidEndVideoPlayback(ZUMMediationNativeAdVideoController&) override;
  ZUMImplemented videoControllerDidPlayVideo(ZUMVideoController&) override;
  ZUMImplemented videoControllerDidPauseVideo(ZUMVideoController&) override;
  ZUMImplemented videoControllerDidEndVideoPlayback(ZUMVideoController&) override;
  ZUMImplemented videoControllerDidMuteVideo(ZUMVideoController&) override;
  ZUMImplemented videoControllerDidUnmuteVideo(ZUMVideoController&) override;

 private:
  ZUMVideoController() = default;
  // Calls `call` with the host's delegate on a later turn of the main queue.
  void tellDelegate(ZUMImplemented (ZUMVideoControllerDelegate::*call)(ZUMVideoController&));
  // Makes `listener` (nullptr: none) the delegate of an inner controller of ours.
  static void setListener(const std::shared_ptr<ZUMVideoControlling>& controller,
                          const std::shared_ptr<ZUMVideoController>& listener);

  std::weak_ptr<ZUMVideoControllerDelegate> delegate_;
  mutable std::mutex mutex_;  // guards internalVideoController_: commands come from any thread
  std::shared_ptr<ZUMVideoControlling> internalVideoController_;
};
