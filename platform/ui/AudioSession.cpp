#include "platform/ui/AudioSession.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/base/TestingReset.h"

namespace platform {

AudioSession& AudioSession::shared() {
  static AudioSession* session = [] {
    auto* made = new AudioSession();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~AudioSession();
      new (made) AudioSession();
    });
    return made;
  }();
  return *session;
}

std::string AudioSession::category() const {
  std::lock_guard lock(mutex_);
  return category_;
}

bool AudioSession::setCategory(const std::string& category) {
  static constexpr std::string_view kKnown[] = {
      kAudioSessionCategoryAmbient, kAudioSessionCategorySoloAmbient,
      kAudioSessionCategoryPlayback, kAudioSessionCategoryRecord,
      kAudioSessionCategoryPlayAndRecord};
  if (std::find(std::begin(kKnown), std::end(kKnown), category) == std::end(kKnown)) return false;
  std::lock_guard lock(mutex_);
  if (categoryChangesFail_) return false;
  category_ = category;
  return true;
}

float AudioSession::outputVolume() const {
  std::lock_guard lock(mutex_);
  return volume_;
}

std::optional<std::vector<std::string>> AudioSession::currentRouteOutputPortNames() const {
  std::lock_guard lock(mutex_);
  return portNames_;
}

bool AudioSession::isOtherAudioPlaying() const {
  std::lock_guard lock(mutex_);
  return otherAudioPlaying_;
}

std::optional<bool> AudioSession::secondaryAudioShouldBeSilencedHint() const {
  std::lock_guard lock(mutex_);
  return silenceHint_;
}

void AudioSession::setOutputVolume(float volume) {
  if (!std::isfinite(volume)) volume = 0;
  std::lock_guard lock(mutex_);
  volume_ = std::clamp(volume, 0.0f, 1.0f);
}

void AudioSession::setCurrentRouteOutputPortNames(std::optional<std::vector<std::string>> names) {
  std::lock_guard lock(mutex_);
  portNames_ = std::move(names);
}

void AudioSession::setOtherAudioPlaying(bool playing) {
  std::lock_guard lock(mutex_);
  otherAudioPlaying_ = playing;
}

void AudioSession::setSecondaryAudioShouldBeSilencedHint(std::optional<bool> hint) {
  std::lock_guard lock(mutex_);
  silenceHint_ = hint;
}

void AudioSession::setCategoryChangesFail(bool fail) {
  std::lock_guard lock(mutex_);
  categoryChangesFail_ = fail;
}

}  // namespace platform
