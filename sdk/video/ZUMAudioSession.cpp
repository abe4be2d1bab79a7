#include "sdk/video/ZUMAudioSession.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"
#include "platform/ui/AudioSession.h"

std::shared_ptr<ZUMAudioSession> ZUMAudioSession::sharedInstance() {
  static auto* shared =
      new platform::ResettableShared<ZUMAudioSession>([] { return std::make_shared<ZUMAudioSession>(); });
  return shared->get();
}

ZUMAudioSession::ZUMAudioSession() : lockQueue_(platform::DispatchQueue::serial(kLockQueueLabel)) {}

void ZUMAudioSession::enable() {
  lockQueue_->async([self = shared_from_this()] { self->enabled_ = true; });
}

void ZUMAudioSession::disable() {
  lockQueue_->async([self = shared_from_this()] {
    self->enabled_ = false;
    self->audioSessionStateSaved_ = false;
    self->wasOtherAppAudioInterrupted_ = false;
  });
}

void ZUMAudioSession::setMixable(bool mixable) {
  auto& session = platform::AudioSession::shared();
  const std::string category = session.category();
  const std::string mode = session.mode();
  const std::uint64_t options = session.categoryOptions();
  const bool otherAudioPlaying = session.isOtherAudioPlaying();
  bool enabled = false;
  lockQueue_->sync([&] {
    enabled = enabled_;
    if (!enabled_) return;
    if (!mixable) wasOtherAppAudioInterrupted_ = otherAudioPlaying;
    if (!audioSessionStateSaved_) {
      savedAudioSessionCategory_ = category;
      savedAudioSessionMode_ = mode;
      savedAudioSessionCategoryOption_ = options;
      audioSessionStateSaved_ = true;
    }
  });
  if (!enabled) return;
  // Platform errors leave the session as it is; there is nothing better to do.
  (void)session.setCategory(mixable ? platform::kAudioSessionCategoryAmbient
                                    : platform::kAudioSessionCategorySoloAmbient);
  (void)session.setMode(platform::kAudioSessionModeDefault);
  (void)session.setActive(true);
}

void ZUMAudioSession::restoreState() {
  bool restore = false;
  std::string category, mode;
  std::uint64_t options = 0;
  lockQueue_->sync([&] {
    restore = enabled_ && audioSessionStateSaved_;
    category = savedAudioSessionCategory_;
    mode = savedAudioSessionMode_;
    options = savedAudioSessionCategoryOption_;
    audioSessionStateSaved_ = false;
    wasOtherAppAudioInterrupted_ = false;
  });
  if (!restore) return;
  auto& session = platform::AudioSession::shared();
  (void)session.setCategory(category, options);
  (void)session.setMode(mode);
}

void ZUMAudioSession::resumeBackgroundAppAudioIfInterrupted() {
  if (!lockQueue_->syncResult([&] { return enabled_ && wasOtherAppAudioInterrupted_; })) return;
  auto& session = platform::AudioSession::shared();
  (void)session.setCategory(platform::kAudioSessionCategoryAmbient);
  (void)session.setMode(platform::kAudioSessionModeDefault);
  (void)session.setActive(false, platform::kAudioSessionSetActiveOptionNotifyOthersOnDeactivation);
}

bool ZUMAudioSession::isEnabled() const {
  return lockQueue_->syncResult([&] { return enabled_; });
}

bool ZUMAudioSession::wasOtherAppAudioInterrupted() const {
  return lockQueue_->syncResult([&] { return wasOtherAppAudioInterrupted_; });
}
