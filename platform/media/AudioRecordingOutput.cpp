#include "platform/media/AudioRecordingOutput.h"

#include <cmath>

namespace platform {

void AudioRecordingOutput::append(const std::vector<float>& samples, int sampleRate) {
  std::lock_guard lock(mutex_);
  for (float s : samples) {
    sumOfSquares_ += double(s) * s;
    peak_ = std::max(peak_, double(std::fabs(s)));
  }
  samples_ += static_cast<std::int64_t>(samples.size());
  sampleRate_ = sampleRate;
}

double AudioRecordingOutput::rmsLevel() const {
  std::lock_guard lock(mutex_);
  return samples_ ? std::sqrt(sumOfSquares_ / double(samples_)) : 0.0;
}

double AudioRecordingOutput::peakLevel() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

std::int64_t AudioRecordingOutput::frameCount() const {
  std::lock_guard lock(mutex_);
  return samples_ / 2;
}

int AudioRecordingOutput::sampleRate() const {
  std::lock_guard lock(mutex_);
  return sampleRate_;
}

void AudioRecordingOutput::reset() {
  std::lock_guard lock(mutex_);
  sumOfSquares_ = peak_ = 0;
  samples_ = 0;
}

}  // namespace platform
