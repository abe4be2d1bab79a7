#include "sdk/rendering/ZUMAdViewVideoController.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "ZUMVideoOptions.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewVideoControllerDelegate.h"

namespace {
// What a page reports is untrusted: a number that is not finite reaches no host.
double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }
}  // namespace

std::shared_ptr<ZUMAdViewVideoController> ZUMAdViewVideoController::create(const std::shared_ptr<ZUMAdView>& adView) {
  return std::shared_ptr<ZUMAdViewVideoController>(new ZUMAdViewVideoController(adView));
}

void ZUMAdViewVideoController::setHasVideoContent(bool hasVideoContent) {
  platform::assertMainThread();
  hasVideoContent_ = hasVideoContent;
}

void ZUMAdViewVideoController::setVideoDuration(float seconds) {
  platform::assertMainThread();
  videoDuration_ = finiteOrZero(seconds);
}

void ZUMAdViewVideoController::setCurrentPlaybackTime(float seconds) {
  platform::assertMainThread();
  currentPlaybackTime_ = finiteOrZero(seconds);
}

void ZUMAdViewVideoController::setVideoPlaybackState(std::int64_t state) {
  platform::assertMainThread();
  if (state == videoPlaybackState_) return;
  videoPlaybackState_ = state;
  auto delegate = delegate_.lock();
  if (!delegate) return;
  switch (state) {
    case kZUMVideoPlaybackStatePlaying:
    case kZUMVideoPlaybackStateResumed:
      delegate->adViewVideoControllerDidPlayVideo(*this);
      break;
    case kZUMVideoPlaybackStatePaused:
      delegate->adViewVideoControllerDidPauseVideo(*this);
      break;
    case kZUMVideoPlaybackStateEnded:
      delegate->adViewVideoControllerDidEndVideoPlayback(*this);
      break;
    default:
      break;
  }
}

void ZUMAdViewVideoController::setVideoMuted(bool muted) {
  platform::assertMainThread();
  if (muted == videoMuted_) return;
  videoMuted_ = muted;
  auto delegate = delegate_.lock();
  if (!delegate) return;
  if (muted) {
    delegate->adViewVideoControllerDidMuteVideo(*this);
  } else {
    delegate->adViewVideoControllerDidUnmuteVideo(*this);
  }
}

void ZUMAdViewVideoController::setAspectRatio(double aspectRatio) {
  platform::assertMainThread();
  aspectRatio_ = finiteOrZero(aspectRatio);
}

void ZUMAdViewVideoController::setCustomControlsEnabled(bool enabled) {
  platform::assertMainThread();
  customControlsEnabled_ = enabled;
}

// --- Commands to the page ---------------------------------------------------------------------

void ZUMAdViewVideoController::play() { sendCommand({{"action", "play"}}); }

void ZUMAdViewVideoController::pause() { sendCommand({{"action", "pause"}}); }

void ZUMAdViewVideoController::setMute(bool mute) { sendCommand({{"action", mute ? "mute" : "unmute"}}); }

void ZUMAdViewVideoController::setInitialStateWithVideoOptions(const std::shared_ptr<ZUMVideoOptions>& given) {
  const auto options = given ? given : ZUMVideoOptions::create();
  videoOptionsCustomControlsRequested_ = options->customControlsRequested();
  sendCommand({{"action", "initialState"},
               {"muteStart", ZUMStringFromBOOL(options->startMuted())},
               {"customControlsRequested", ZUMNumberWithBool(options->customControlsRequested())}});
}

void ZUMAdViewVideoController::sendCommand(nlohmann::ordered_json command) {
  // The ad view lives on the main thread; it is looked up there, when the command runs.
  platform::DispatchQueue::main()->async([weak = adView_, command = std::move(command)] {
    if (auto adView = weak.lock()) adView->postJSNotification("pubVideoCmd", command);
  });
}
