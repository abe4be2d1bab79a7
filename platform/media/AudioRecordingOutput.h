// Where a player's sound goes on this platform, which has no sound device: the samples it
// would have played (interleaved stereo floats, volume, mute and audio mix applied) are
// recorded, so tests can measure their level. Any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {

class AudioRecordingOutput {
 public:
  void append(const std::vector<float>& samples, int sampleRate);
  // Root mean square of the samples recorded since the last reset; 0 without samples.
  double rmsLevel() const;
  double peakLevel() const;
  // Sample frames (one per channel pair) recorded since the last reset.
  std::int64_t frameCount() const;
  int sampleRate() const;
  void reset();

 private:
  mutable std::mutex mutex_;
  double sumOfSquares_ = 0;
  double peak_ = 0;
  std::int64_t samples_ = 0;
  int sampleRate_ = 0;
};

}  // namespace platform
