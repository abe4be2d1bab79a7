#include "platform/ui/SystemSound.h"

#include <mutex>

#include "platform/base/TestingReset.h"

namespace platform {

namespace {
std::mutex& soundMutex() {
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}
std::vector<SystemSound::SoundID>& played() {
  static auto* sounds = [] {
    auto* made = new std::vector<SystemSound::SoundID>();
    registerTestingReset(made, [made] {
      std::lock_guard lock(soundMutex());
      made->clear();
    });
    return made;
  }();
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
