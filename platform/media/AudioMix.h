// Volumes per audio track that a player item applies when it plays: each input
// parameter names a track and its volume from time zero. Plain values; any thread.
#pragma once

#include <vector>

namespace platform {

struct AudioMixInputParameters {
  int trackID = 0;
  float volume = 1.0f;  // 0...1
};

struct AudioMix {
  std::vector<AudioMixInputParameters> inputParameters;

  // The volume for `trackID`: its parameters' (clamped to 0...1), else 1.
  float volumeForTrack(int trackID) const {
    for (const auto& p : inputParameters) {
      if (p.trackID == trackID) return p.volume > 1.0f ? 1.0f : (p.volume >= 0.0f ? p.volume : 0.0f);
    }
    return 1.0f;
  }
};

}  // namespace platform
