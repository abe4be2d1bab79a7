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

bool AudioSession::setCategory(const std::string& category) { return setCategory(category, 0); }

bool AudioSession::setCategory(const std::string& category, std::uint64_t options) {
  static constexpr std::string_view kKnown[] = {kAudioSessionCategoryAmbient, kAudioSessionCategorySoloAmbient,
                                                kAudioSessionCategoryPlayback, kAudioSessionCategoryRecord,
                                                kAudioSessionCategoryPlayAndRecord};
  const bool known = std::find(std::begin(kKnown), std::end(kKnown), category) != std::end(kKnown);
  std::lock_guard lock(mutex_);
  const bool done = known && !categoryChangesFail_;
  calls_.push_back({"setCategory", category, options, done});
  if (!done) return false;
  category_ = category;
  options_ = options;
  interruptOthersIfSoloLocked();
  return true;
}

void AudioSession::interruptOthersIfSoloLocked() {
  const bool mixes = category_ == kAudioSessionCategoryAmbient || (options_ & kAudioSessionCategoryOptionMixWithOthers);
  if (active_ && !mixes && otherAudioPlaying_) {
    otherAudioInterrupted_ = true;
    otherAudioPlaying_ = false;
  }
}

std::uint64_t AudioSession::categoryOptions() const {
  std::lock_guard lock(mutex_);
  return options_;
}

std::string AudioSession::mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

bool AudioSession::setMode(const std::string& mode) {
  static constexpr std::string_view kKnown[] = {kAudioSessionModeDefault, kAudioSessionModeMoviePlayback,
                                                kAudioSessionModeSpokenAudio};
  const bool known = std::find(std::begin(kKnown), std::end(kKnown), mode) != std::end(kKnown);
  std::lock_guard lock(mutex_);
  calls_.push_back({"setMode", mode, 0, known});
  if (known) mode_ = mode;
  return known;
}

bool AudioSession::setActive(bool active, std::uint64_t options) {
  std::lock_guard lock(mutex_);
  calls_.push_back({"setActive", active ? "1" : "0", options, true});
  if (active && !active_) {
    // Categories that do not mix silence the others.
    active_ = true;
    interruptOthersIfSoloLocked();
  } else if (!active && active_ && otherAudioInterrupted_ &&
             (options & kAudioSessionSetActiveOptionNotifyOthersOnDeactivation)) {
    otherAudioInterrupted_ = false;
    otherAudioPlaying_ = true;
  }
  active_ = active;
  return true;
}

bool AudioSession::isActive() const {
  std::lock_guard lock(mutex_);
  return active_;
}

std::vector<AudioSessionCall> AudioSession::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
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
