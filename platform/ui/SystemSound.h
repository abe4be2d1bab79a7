// System sounds, among them the vibration. Nothing is audible here: every sound
// played is recorded so tests can see it. Thread-safe.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

class SystemSound {
 public:
  using SoundID = std::uint32_t;
  static constexpr SoundID kVibrate = 4095;

  static void play(SoundID sound);

  // Every sound played so far, in order.
  static std::vector<SoundID> playedSounds();
};

}  // namespace platform
