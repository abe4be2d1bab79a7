// The decoding pipeline behind an asset and its player item, on the FFmpeg libraries:
// one thread of its own demuxes the resource from a ByteSource and decodes its first
// video and first audio stream a little ahead of the play head, into NV12 pixel buffers
// and interleaved stereo float samples.
//
// Under the platform's virtual clock (tests), frameAt() and audio() with `await` wait
// until the decoder has settled for the asked time: it has what is due, has ended or
// failed, or waits for bytes the source does not hold. What a test sees at a virtual time
// therefore depends only on the bytes present, never on the machine's speed.
//
// Any thread; the opened handler runs on the decoding thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/Error.h"
#include "platform/base/MainLoopDriver.h"

namespace platform {

class ByteSource;
class PixelBuffer;

struct MediaTrackInfo {
  int trackID = 0;
  bool isVideo = false;
  int width = 0, height = 0;                          // video only
  std::array<double, 6> transform{1, 0, 0, 1, 0, 0};  // a, b, c, d, tx, ty
  double estimatedDataRate = 0;                       // bits per second
};

// Where a sample of a stream lies in the resource.
struct MediaIndexEntry {
  std::int64_t position = 0;
  std::int64_t size = 0;
  double time = 0;
};

struct MediaInfo {
  double duration = 0;  // seconds
  std::vector<MediaTrackInfo> tracks;
  // Per decoded stream (video, then audio), in time order.
  std::vector<std::vector<MediaIndexEntry>> index;
  int audioSampleRate = 0;  // 0 without audio
};

class MediaDecoder : public std::enable_shared_from_this<MediaDecoder> {
 public:
  using OpenedHandler = std::function<void(const MediaInfo* info, ErrorPtr error)>;
  // Video decoded ahead of the play head, at most.
  static constexpr double kAheadSeconds = 1.0;
  static constexpr std::size_t kMaxQueuedFrames = 40;
  // Bytes of decoded frames held at most, and the largest picture decoded (4096 x 4096):
  // a hostile file must not make the decoder hold gigabytes.
  static constexpr std::size_t kMaxQueuedBytes = 192u << 20;
  static constexpr std::int64_t kMaxPixels = 4096 * 4096;
  // How long an awaiting call may wait in real time before it gives up: the bound of any
  // wait for real work, which no load on the machine reaches.
  static constexpr std::chrono::milliseconds kAwaitLimit = MainLoopDriver::kDefaultRealLimit;

  // Starts the thread, which opens the resource and calls `opened` once.
  static std::shared_ptr<MediaDecoder> start(std::shared_ptr<ByteSource> source, OpenedHandler opened);
  ~MediaDecoder();
  MediaDecoder(const MediaDecoder&) = delete;
  MediaDecoder& operator=(const MediaDecoder&) = delete;

  // Ends the thread (cancels the source).
  void stop();

  struct Frame {
    std::shared_ptr<const PixelBuffer> buffer;
    double time = 0;
  };
  // The frame to show at `time` (the last one due by then), if decoded. Moves the play
  // head to `time`.
  std::optional<Frame> frameAt(double time, bool await);
  // Interleaved stereo samples for [from, to) at audioSampleRate, silence where nothing
  // was decoded. Moves the play head to `from`.
  std::vector<float> audio(double from, double to, bool await);
  // Decoding starts again from the keyframe before `time`; frames before it are skipped.
  void seek(double time);
  // Frames and samples before this time are dropped; decoding runs kAheadSeconds past it.
  void setPlayhead(double time);

  bool hasEnded() const;
  ErrorPtr error() const;

  class Impl;

 private:
  explicit MediaDecoder(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
