// Media clips made at run time for the tests and benchmarks of platform/media: H.264
// (through the libx264 encoder) and AAC in MP4, with the frame number drawn into every
// picture as a row of black and white blocks that survives compression, a 440 Hz tone
// whose level tests can measure, and the tags, sizes and layouts the player must cope
// with. Nothing is read from or written to the repository; clips are built in memory
// (through a temporary file the muxer needs) and kept for the rest of the process.
//
// Any thread; make() serialises its callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testenv {

struct ClipOptions {
  enum class Matrix { BT601, BT709 };
  // Greys: the whole picture one grey with neutral chroma, kGreys in turn, one a second.
  enum class Pattern { FrameNumbers, Equirectangular, Greys };

  int width = 320;
  int height = 180;
  int framesPerSecond = 30;
  double seconds = 2.0;
  // A keyframe every this many frames.
  int keyframeInterval = 30;
  bool audio = true;
  // Peak of the tone, 0...1.
  double toneAmplitude = 0.5;
  Matrix matrix = Matrix::BT709;
  bool fullRange = false;
  // Quarter turns clockwise recorded in the track's display matrix (0, 90, 180, 270).
  int rotationDegrees = 0;
  // The index ("moov") before the media data, as streaming servers want it, or after.
  bool indexFirst = true;
  Pattern pattern = Pattern::FrameNumbers;
  // Fine noise over the background, so the clip is as large as real video (megabytes).
  bool noise = false;
  // Encoder speed: "ultrafast" for big benchmark clips.
  const char* preset = "veryfast";

  friend bool operator==(const ClipOptions&, const ClipOptions&) = default;
};

class MediaClips {
 public:
  // The clip's bytes; the same options give the same bytes within a process.
  static const std::string& make(const ClipOptions& options = {});

  // The first `bytes` bytes.
  static std::string truncated(const std::string& clip, std::size_t bytes);
  // The clip with the contents of its index box overwritten with garbage, so no demuxer
  // can find its tracks.
  static std::string corruptedIndex(const std::string& clip);

  // The frame number drawn into a picture, read from its luma plane; -1 when the blocks
  // do not read as a number.
  static int frameNumber(const std::uint8_t* luma, int stride, int width, int height);

  // Layout of the drawn number, for readers of other pixel formats: kBits blocks of
  // kBlock x kBlock pixels from (kBlock, kBlock), most significant first.
  static constexpr int kBits = 12;
  static constexpr int kBlock = 16;
  // The lumas of the Greys pattern, written as they stand whatever the clip's range.
  static constexpr std::uint8_t kGreys[] = {0, 96, 255};
  // A frame's background luma and chroma (video range): a dark red.
  static constexpr std::uint8_t kBackgroundY = 82, kBackgroundCb = 90, kBackgroundCr = 240;

  MediaClips() = delete;
};

}  // namespace testenv
