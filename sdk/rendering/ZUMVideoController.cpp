#include "ZUMVideoController.h"

#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"

std::shared_ptr<ZUMVideoController> ZUMVideoController::create() {
  return std::shared_ptr<ZUMVideoController>(new ZUMVideoController());
}

std::shared_ptr<ZUMVideoControlling> ZUMVideoController::internalVideoController() const {
  std::lock_guard lock(mutex_);
  return internalVideoController_;
}

void ZUMVideoController::setInternalVideoController(std::shared_ptr<ZUMVideoControlling> controller) {
  platform::assertMainThread();
  std::shared_ptr<ZUMVideoControlling> old;
  {
    std::lock_guard lock(mutex_);
    old = std::exchange(internalVideoController_, controller);
  }
  if (old == controller) return;
  setListener(old, nullptr);
  setListener(controller, shared_from_this());
}

void ZUMVideoController::setListener(const std::shared_ptr<ZUMVideoControlling>& controller,
                                     const std::shared_ptr<ZUMVideoController>& listener) {
  // Only our own controllers take a listener (a mediated ad's through the SDK's wrapper of
  // its video); another speaks for itself.
  if (auto adViewController = std::dynamic_pointer_cast<ZUMAdViewVideoController>(controller)) {
    adViewController->setDelegate(listener);
  } else if (auto nested = std::dynamic_pointer_cast<ZUMVideoController>(controller)) {
    nested->setDelegate(listener);
  } else if (auto mediated = std::dynamic_pointer_cast<ZUMMediationNativeAdVideoControllerDelegating>(controller)) {
    mediated->setDelegate(listener);
  }
}

// --- Forwarded to the inner controller ---------------------------------------------------------

void ZUMVideoController::setMute(bool mute) {
  if (auto inner = internalVideoController()) inner->setMute(mute);
}

void ZUMVideoController::play() {
  if (auto inner = internalVideoController()) inner->play();
}

void ZUMVideoController::pause() {
  if (auto inner = internalVideoController()) inner->pause();
}

void ZUMVideoController::setInitialStateWithVideoOptions(const std::shared_ptr<ZUMVideoOptions>& options) {
  if (auto inner = internalVideoController()) inner->setInitialStateWithVideoOptions(options);
}

bool ZUMVideoController::hasVideoContent() const {
  auto inner = internalVideoController();
  return inner && inner->hasVideoContent();
}

double ZUMVideoController::aspectRatio() const {
  auto inner = internalVideoController();
  return inner ? inner->aspectRatio() : 0;
}

bool ZUMVideoController::customControlsEnabled() const {
  auto inner = internalVideoController();
  return inner && inner->customControlsEnabled();
}

std::int64_t ZUMVideoController::videoPlaybackState() const {
  auto inner = internalVideoController();
  return inner ? inner->videoPlaybackState() : 0;
}

// --- Relays ------------------------------------------------------------------------------------

void ZUMVideoController::tellDelegate(ZUMImplemented (ZUMVideoControllerDelegate::*call)(ZUMVideoController&)) {
  platform::DispatchQueue::main()->async([weak = weak_from_this(), call] {
    auto self = weak.lock();
    if (!self) return;
    if (auto delegate = self->delegate()) ((*delegate).*call)(*self);
  });
}

void ZUMVideoController::mediationNativeAdVideoControllerDidPlayVideo(ZUMMediationNativeAdVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidPlayVideo);
}
void ZUMVideoController::mediationNativeAdVideoControllerDidPauseVideo(ZUMMediationNativeAdVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidPauseVideo);
}
void ZUMVideoController::mediationNativeAdVideoControllerDidEndVideoPlayback(ZUMMediationNativeAdVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidEndVideoPlayback);
}
void ZUMVideoController::adViewVideoControllerDidPlayVideo(ZUMAdViewVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidPlayVideo);
}
void ZUMVideoController::adViewVideoControllerDidPauseVideo(ZUMAdViewVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidPauseVideo);
}
void ZUMVideoController::adViewVideoControllerDidEndVideoPlayback(ZUMAdViewVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidEndVideoPlayback);
}
void ZUMVideoController::adViewVideoControllerDidMuteVideo(ZUMAdViewVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidMuteVideo);
}
void ZUMVideoController::adViewVideoControllerDidUnmuteVideo(ZUMAdViewVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidUnmuteVideo);
}

ZUMImplemented ZUMVideoController::videoControllerDidPlayVideo(ZUMVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidPlayVideo);
  return kZUMImplemented;
}
ZUMImplemented ZUMVideoController::videoControllerDidPauseVideo(ZUMVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidPauseVideo);
  return kZUMImplemented;
}
ZUMImplemented ZUMVideoController::videoControllerDidEndVideoPlayback(ZUMVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidEndVideoPlayback);
  return kZUMImplemented;
}
ZUMImplemented ZUMVideoController::videoControllerDidMuteVideo(ZUMVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidMuteVideo);
  return kZUMImplemented;
}
ZUMImplemented ZUMVideoController::videoControllerDidUnmuteVideo(ZUMVideoController&) {
  tellDelegate(&ZUMVideoControllerDelegate::videoControllerDidUnmuteVideo);
  return kZUMImplemented;
}
