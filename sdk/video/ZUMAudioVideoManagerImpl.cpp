#include "sdk/video/ZUMAudioVideoManagerImpl.h"

#include "platform/base/MainThreadChecker.h"
#include "platform/media/Player.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/include/ZUMMobileAds.h"
#include "sdk/video/ZUMAudioSession.h"

std::shared_ptr<ZUMAudioVideoManagerImpl> ZUMAudioVideoManagerImpl::create() {
  if (!ZUMDevice::sharedInstance()->isOSAtLeastMajor(7, 0, 0)) return nullptr;
  auto manager = std::shared_ptr<ZUMAudioVideoManagerImpl>(new ZUMAudioVideoManagerImpl());
  manager->setAudioSessionIsApplicationManaged(false);
  return manager;
}

std::shared_ptr<ZUMAudioVideoManagerImpl> ZUMAudioVideoManagerImpl::shared() {
  return std::dynamic_pointer_cast<ZUMAudioVideoManagerImpl>(ZUMMobileAds::sharedInstance()->audioVideoManager());
}

bool ZUMAudioVideoManagerImpl::audioSessionIsApplicationManaged() const {
  std::lock_guard lock(mutex_);
  return audioSessionIsApplicationManaged_;
}

void ZUMAudioVideoManagerImpl::setAudioSessionIsApplicationManaged(bool applicationManaged) {
  {
    std::lock_guard lock(mutex_);
    audioSessionIsApplicationManaged_ = applicationManaged;
  }
  if (applicationManaged) {
    ZUMAudioSession::sharedInstance()->disable();
  } else {
    ZUMAudioSession::sharedInstance()->enable();
  }
}

std::shared_ptr<ZUMAudioVideoManagerDelegate> ZUMAudioVideoManagerImpl::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void ZUMAudioVideoManagerImpl::setDelegate(std::weak_ptr<ZUMAudioVideoManagerDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

template <class Call>
void ZUMAudioVideoManagerImpl::tellDelegate(Call call) {
  if (auto d = delegate()) (d.get()->*call)(*this);
}

void ZUMAudioVideoManagerImpl::playerWillStartPlayingVideo(const std::shared_ptr<platform::Player>& player) {
  platform::assertMainThread();
  purgeGonePlayers();
  if (!player) return;
  if (!playingVideos_.contains(player)) {
    if (player->volume() != 0 && !player->isMuted()) playerWillStartPlayingSound(player);
    playingVideos_.insert(player);
    if (playingVideos_.size() == 1) tellDelegate(&ZUMAudioVideoManagerDelegate::audioVideoManagerWillPlayVideo);
    // Only for a new player: a repeated report changes nothing.
    if (playingVideos_.size() == 1 && soundVideos_.empty()) ZUMAudioSession::sharedInstance()->setMixable(true);
  }
}

void ZUMAudioVideoManagerImpl::playerDidPauseVideo(const std::shared_ptr<platform::Player>& player) {
  platform::assertMainThread();
  purgeGonePlayers();
  if (!player || !playingVideos_.contains(player)) return;
  playerDidStopPlayingSound(player);
  playingVideos_.erase(std::weak_ptr(player));
  if (!playingVideos_.empty()) return;
  ZUMAudioSession::sharedInstance()->restoreState();
  tellDelegate(&ZUMAudioVideoManagerDelegate::audioVideoManagerDidPauseAllVideo);
}

void ZUMAudioVideoManagerImpl::playerWillStartPlayingSound(const std::shared_ptr<platform::Player>& player) {
  platform::assertMainThread();
  purgeGonePlayers();
  if (!player || soundVideos_.contains(player)) return;
  soundVideos_.insert(player);
  if (soundVideos_.size() == 1) tellDelegate(&ZUMAudioVideoManagerDelegate::audioVideoManagerWillPlayAudio);
  const bool leftToApplication =
      ZUMUserDefaults::boolForKey(std::string("/vantor/ads/") + kPubUnmutedAudioCategoryControlName).value_or(false) &&
      audioSessionIsApplicationManaged();
  if (leftToApplication) return;
  auto session = ZUMAudioSession::sharedInstance();
  session->enable();
  session->setMixable(false);
}

void ZUMAudioVideoManagerImpl::playerDidStopPlayingSound(const std::shared_ptr<platform::Player>& player) {
  platform::assertMainThread();
  purgeGonePlayers();
  if (!player || !soundVideos_.erase(std::weak_ptr(player))) return;
  if (!soundVideos_.empty()) return;
  updateAudioSessionAfterAllVideoStopPlayingSound();
  tellDelegate(&ZUMAudioVideoManagerDelegate::audioVideoManagerDidStopPlayingAudio);
}

void ZUMAudioVideoManagerImpl::updateAudioSessionAfterAllVideoStopPlayingSound() {
  auto session = ZUMAudioSession::sharedInstance();
  if (audioSessionIsApplicationManaged()) {
    session->restoreState();
    session->disable();
    return;
  }
  if (!playingVideos_.empty()) session->setMixable(true);
  if (playingVideos_.size() != 1) return;
  auto remaining = playingVideos_.begin()->lock();
  if (!remaining) return;
  const bool wasPlaying = remaining->rate() > 0;
  remaining->pause();
  session->resumeBackgroundAppAudioIfInterrupted();
  if (wasPlaying) remaining->play();
}

void ZUMAudioVideoManagerImpl::purgeGonePlayers() {
  std::erase_if(playingVideos_, [](const auto& p) { return p.expired(); });
  std::erase_if(soundVideos_, [](const auto& p) { return p.expired(); });
}
