#include "sdk/native/ZUMMediationNativeAdVideoController.h"

#include <utility>

#include "ZUMMediatedNativeAdNotificationSource.h"
#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMMediatedNativeContentAd.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"

std::shared_ptr<ZUMMediationNativeAdVideoController>
ZUMMediationNativeAdVideoController::createWithMediatedNativeAppInstallAd(
    const std::shared_ptr<ZUMMediatedNativeAppInstallAd>& ad) {
  return create(ad, ad ? ad->hasVideoContent() : std::nullopt);
}

std::shared_ptr<ZUMMediationNativeAdVideoController>
ZUMMediationNativeAdVideoController::createWithMediatedNativeContentAd(
    const std::shared_ptr<ZUMMediatedNativeContentAd>& ad) {
  return create(ad, ad ? ad->hasVideoContent() : std::nullopt);
}

std::shared_ptr<ZUMMediationNativeAdVideoController> ZUMMediationNativeAdVideoController::create(
    const std::shared_ptr<ZUMMediatedNativeAd>& ad, std::optional<bool> hasVideoContent) {
  auto controller = std::shared_ptr<ZUMMediationNativeAdVideoController>(new ZUMMediationNativeAdVideoController());
  controller->hasVideoContent_ = hasVideoContent.value_or(false);
  if (controller->hasVideoContent_) controller->observeMediatedNativeAd(ad);
  return controller;
}

ZUMMediationNativeAdVideoController::~ZUMMediationNativeAdVideoController() { stopObservingMediatedNativeAd(); }

std::int64_t ZUMMediationNativeAdVideoController::videoPlaybackState() const {
  std::lock_guard lock(mutex_);
  return videoPlaybackState_;
}

void ZUMMediationNativeAdVideoController::observeMediatedNativeAd(const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
  stopObservingMediatedNativeAd();
  if (!ad) return;
  auto& center = platform::NotificationCenter::defaultCenter();
  const std::shared_ptr<void> object = ad;
  const std::pair<const char*, std::int64_t> states[] = {
      {kZUMMediatedNativeAdDidPlayVideoNotification, kZUMMediationVideoPlaybackStatePlaying},
      {kZUMMediatedNativeAdDidPauseVideoNotification, kZUMMediationVideoPlaybackStatePaused},
      {kZUMMediatedNativeAdDidEndVideoPlaybackNotification, kZUMMediationVideoPlaybackStateEnded},
  };
  std::vector<std::shared_ptr<const void>> tokens;
  for (const auto& [name, state] : states) {
    // No queue: heard on the posting thread, which setVideoPlaybackState allows.
    tokens.push_back(center.addObserver(name, object, nullptr,
                                        [weak = weak_from_this(), state = state](const platform::Notification&) {
                                          if (auto self = weak.lock()) self->setVideoPlaybackState(state);
                                        }));
  }
  std::lock_guard lock(mutex_);
  observerTokens_ = std::move(tokens);
}

void ZUMMediationNativeAdVideoController::stopObservingMediatedNativeAd() {
  std::vector<std::shared_ptr<const void>> tokens;
  {
    std::lock_guard lock(mutex_);
    tokens = std::exchange(observerTokens_, {});
  }
  for (const auto& token : tokens) platform::NotificationCenter::defaultCenter().removeObserver(token);
}

void ZUMMediationNativeAdVideoController::setVideoPlaybackState(std::int64_t state) {
  DelegateCall call = nullptr;
  switch (state) {
    case kZUMMediationVideoPlaybackStateStarting:
    case kZUMMediationVideoPlaybackStatePlaying:
      call = &ZUMMediationNativeAdVideoControllerDelegate::mediationNativeAdVideoControllerDidPlayVideo;
      break;
    case kZUMMediationVideoPlaybackStatePaused:
      call = &ZUMMediationNativeAdVideoControllerDelegate::mediationNativeAdVideoControllerDidPauseVideo;
      break;
    case kZUMMediationVideoPlaybackStateEnded:
      call = &ZUMMediationNativeAdVideoControllerDelegate::mediationNativeAdVideoControllerDidEndVideoPlayback;
      break;
    default:
      break;
  }
  std::lock_guard lock(mutex_);
  if (state == videoPlaybackState_) return;
  videoPlaybackState_ = state;
  // Queued under the lock, so the host hears the changes in the order they were made.
  if (call) tellDelegate(call);
}

void ZUMMediationNativeAdVideoController::tellDelegate(DelegateCall call) {
  platform::DispatchQueue::main()->async([weak = weak_from_this(), call] {
    auto self = weak.lock();
    auto delegate = self ? self->delegate() : nullptr;
    if (delegate) ((*delegate).*call)(*self);
  });
}
