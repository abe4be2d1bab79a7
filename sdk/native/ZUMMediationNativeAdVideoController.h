// The video controller of another network's native ad: the network plays its video
// itself, so commands do nothing; what the network posts of its playback
// (ZUMMediatedNativeAdNotificationSource: play, pause, end) becomes the playback state,
// and each change of state is told to the delegate (the public ZUMVideoController).
//
// The network may post from any thread: state changes are serialised under a lock, in
// the order posted, and the delegate hears them on the main queue. The delegate is held
// weakly. Observes the ad from creation (when it has video) until it goes away.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "ZUMVideoControlling.h"
#include "sdk/rendering/ZUMMediationNativeAdVideoControllerDelegate.h"

class ZUMMediatedNativeAd;
class ZUMMediatedNativeAppInstallAd;
class ZUMMediatedNativeContentAd;

// Playback states: 1 and 2 play, 3 paused, 4 ended (0: nothing yet).
enum ZUMMediationVideoPlaybackState : std::int64_t {
  kZUMMediationVideoPlaybackStateInitial = 0,
  kZUMMediationVideoPlaybackStateStarting = 1,
  kZUMMediationVideoPlaybackStatePlaying = 2,
  kZUMMediationVideoPlaybackStatePaused = 3,
  kZUMMediationVideoPlaybackStateEnded = 4,
};

class ZUMMediationNativeAdVideoController final
    : public ZUMVideoControlling,
      public ZUMMediationNativeAdVideoControllerDelegating,
      public std::enable_shared_from_this<ZUMMediationNativeAdVideoController> {
 public:
  static std::shared_ptr<ZUMMediationNativeAdVideoController> createWithMediatedNativeAppInstallAd(
      const std::shared_ptr<ZUMMediatedNativeAppInstallAd>& ad);
  static std::shared_ptr<ZUMMediationNativeAdVideoController> createWithMediatedNativeContentAd(
      const std::shared_ptr<ZUMMediatedNativeContentAd>& ad);
  ~ZUMMediationNativeAdVideoController() override;

  // --- ZUMVideoControlling: the network controls its own playback ----------------------
  void setMute(bool) override {}
  void play() override {}
  void pause() override {}
  void setInitialStateWithVideoOptions(const std::shared_ptr<ZUMVideoOptions>&) override {}
  bool hasVideoContent() const override { return hasVideoContent_; }
  double aspectRatio() const override { return 0.0; }
  bool customControlsEnabled() const override { return false; }
  std::int64_t videoPlaybackState() const override;

  // Stores a changed state and tells the delegate; the same state again does nothing.
  // Any thread.
  void setVideoPlaybackState(std::int64_t state);
  std::shared_ptr<ZUMMediationNativeAdVideoControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMMediationNativeAdVideoControllerDelegate>& delegate) override {
    delegate_ = delegate;
  }
  // Hears the ad's play, pause and end notifications (earlier observing stops first).
  void observeMediatedNativeAd(const std::shared_ptr<ZUMMediatedNativeAd>& ad);
  void stopObservingMediatedNativeAd();

 private:
  ZUMMediationNativeAdVideoController() = default;
  static std::shared_ptr<ZUMMediationNativeAdVideoController> create(const std::shared_ptr<ZUMMediatedNativeAd>& ad,
                                                                     std::optional<bool> hasVideoContent);
  using DelegateCall = void (ZUMMediationNativeAdVideoControllerDelegate::*)(ZUMMediationNativeAdVideoController&);
  void tellDelegate(DelegateCall call);

  bool hasVideoContent_ = false;
  std::weak_ptr<ZUMMediationNativeAdVideoControllerDelegate> delegate_;  // main thread
  mutable std::mutex mutex_;                                             // guards the two below
  std::int64_t videoPlaybackState_ = kZUMMediationVideoPlaybackStateInitial;
  std::vector<std::shared_ptr<const void>> observerTokens_;
};
