#include "platform/ui/SystemSound.h"

#include <mutex>

namespace platform {

namespace {
std::mutex& soundMutex() {
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}
std::vector<SystemSound::SoundID>& played() {
  static auto* sounds = new std::vector<SystemSound::SoundID>();
  return *sounds;
}
}  // namespace

void SystemSound::play(SoundID sound) {
  std::lock_guard lock(soundMutex());
  played().push_back(sound);
}

std::vector<SystemSound::SoundID> SystemSound::playedSounds() {
  std::lock_guard lock(soundMutex());
  return played();
}

}  // namespace platform
