#include "testing/MediaClips.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
}

namespace testenv {
namespace {

[[noreturn]] void fail(const char* what, int code = 0) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (code < 0) av_strerror(code, text, sizeof text);
  throw std::runtime_error(std::string("media clip: ") + what + " " + text);
}

void check(int code, const char* what) {
  if (code < 0) fail(what, code);
}

struct CodecContextDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

// The chroma planes' subsampling: 1 for 4:2:0, 0 for 4:4:4.
int chromaShift(const AVFrame& frame) { return frame.format == AV_PIX_FMT_YUV444P ? 0 : 1; }

void drawFrameNumbers(AVFrame& frame, int number, const ClipOptions& o) {
  const int shift = chromaShift(frame);
  const int chromaW = (frame.width + shift) >> shift, chromaH = (frame.height + shift) >> shift;
  for (int y = 0; y < frame.height; ++y) {
    std::uint8_t* row = frame.data[0] + y * frame.linesize[0];
    for (int x = 0; x < frame.width; ++x) row[x] = MediaClips::kBackgroundY;
  }
  for (int y = 0; y < chromaH; ++y) {
    for (int x = 0; x < chromaW; ++x) {
      frame.data[1][y * frame.linesize[1] + x] = MediaClips::kBackgroundCb;
      frame.data[2][y * frame.linesize[2] + x] = MediaClips::kBackgroundCr;
    }
  }
  if (o.noise) {
    unsigned state = 2654435761u * unsigned(number + 1);
    for (int y = 2 * MediaClips::kBlock; y < o.height; ++y) {
      for (int x = 0; x < o.width; ++x) {
        state = state * 1664525u + 1013904223u;
        frame.data[0][y * frame.linesize[0] + x] =
            static_cast<std::uint8_t>(MediaClips::kBackgroundY - 30 + (state >> 26));
      }
    }
  }
  const int b = MediaClips::kBlock;
  for (int bit = 0; bit < MediaClips::kBits; ++bit) {
    const bool one = (number >> (MediaClips::kBits - 1 - bit)) & 1;
    const int x0 = b * (1 + bit);
    for (int y = b; y < 2 * b && y < o.height; ++y) {
      for (int x = x0; x < x0 + b && x < o.width; ++x) frame.data[0][y * frame.linesize[0] + x] = one ? 235 : 16;
    }
    // Neutral chroma under the blocks, so they read the same in any matrix.
    for (int y = b >> shift; y < (2 * b) >> shift && y < chromaH; ++y) {
      for (int x = x0 >> shift; x < (x0 + b) >> shift && x < chromaW; ++x) {
        frame.data[1][y * frame.linesize[1] + x] = 128;
        frame.data[2][y * frame.linesize[2] + x] = 128;
      }
    }
  }
}

// Longitude as hue bands and a grid every 30 degrees, moving a little every frame.
void drawEquirectangular(AVFrame& frame, int number, const ClipOptions& o) {
  for (int y = 0; y < o.height; ++y) {
    for (int x = 0; x < o.width; ++x) {
      const int lon = (x * 360 / o.width + number) % 360, lat = y * 180 / o.height;
      const bool line = lon % 30 == 0 || lat % 30 == 0;
      frame.data[0][y * frame.linesize[0] + x] = line ? 235 : static_cast<std::uint8_t>(40 + lat);
    }
  }
  for (int y = 0; y < (o.height + 1) / 2; ++y) {
    for (int x = 0; x < (o.width + 1) / 2; ++x) {
      const double a = 2 * std::numbers::pi * x / ((o.width + 1) / 2);
      frame.data[1][y * frame.linesize[1] + x] = static_cast<std::uint8_t>(128 + 100 * std::cos(a));
      frame.data[2][y * frame.linesize[2] + x] = static_cast<std::uint8_t>(128 + 100 * std::sin(a));
    }
  }
}

void drawGrey(AVFrame& frame, int number, const ClipOptions& o) {
  const auto grey = MediaClips::kGreys[(number / o.framesPerSecond) % std::size(MediaClips::kGreys)];
  const int shift = chromaShift(frame);
  for (int y = 0; y < frame.height; ++y) std::memset(frame.data[0] + y * frame.linesize[0], grey, frame.width);
  for (int y = 0; y < (frame.height + shift) >> shift; ++y) {
    for (int plane = 1; plane < 3; ++plane) {
      std::memset(frame.data[plane] + y * frame.linesize[plane], 128, (frame.width + shift) >> shift);
    }
  }
}

class Encoder {
 public:
  Encoder(const ClipOptions& o, const std::string& path) : o_(o) {
    check(avformat_alloc_output_context2(&format_, nullptr, "mp4", path.c_str()), "output");
    openVideo();
    if (o_.audio) openAudio();
    check(avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE), "open");
    AVDictionary* options = nullptr;
    if (o_.indexFirst) av_dict_set(&options, "movflags", "faststart", 0);
    const int written = avformat_write_header(format_, &options);
    av_dict_free(&options);
    check(written, "header");
  }
  ~Encoder() {
    if (format_ && format_->pb) avio_closep(&format_->pb);
    avformat_free_context(format_);
  }

  void run() {
    const int frames = static_cast<int>(std::lround(o_.seconds * o_.framesPerSecond));
    const std::int64_t samples = static_cast<std::int64_t>(std::llround(o_.seconds * kSampleRate));
    Frame picture(av_frame_alloc());
    picture->format = video_->pix_fmt;
    picture->width = video_->width;
    picture->height = video_->height;
    check(av_frame_get_buffer(picture.get(), 0), "picture");
    int frame = 0;
    std::int64_t sample = 0;
    while (frame < frames || (audio_ && sample < samples)) {
      // Interleave by time so the muxer writes media in order.
      const bool videoNext =
          frame < frames && (!audio_ || sample >= samples || frame * kSampleRate <= sample * o_.framesPerSecond);
      if (videoNext) {
        check(av_frame_make_writable(picture.get()), "writable");
        if (o_.pattern == ClipOptions::Pattern::FrameNumbers) {
          drawFrameNumbers(*picture, frame, o_);
        } else if (o_.pattern == ClipOptions::Pattern::Greys) {
          drawGrey(*picture, frame, o_);
        } else {
          drawEquirectangular(*picture, frame, o_);
        }
        picture->pts = frame++;
        encode(video_.get(), videoStream_, picture.get());
      } else {
        sample += encodeTone(sample, samples);
      }
    }
    encode(video_.get(), videoStream_, nullptr);
    if (audio_) encode(audio_.get(), audioStream_, nullptr);
    check(av_write_trailer(format_), "trailer");
  }

 private:
  static constexpr int kSampleRate = 44100;
  bool odd() const { return (o_.width | o_.height) & 1; }

  void openVideo() {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) fail("no libx264 encoder");
    video_.reset(avcodec_alloc_context3(codec));
    AVCodecContext& c = *video_;
    // 4:2:0 H.264 crops in steps of two pixels, so an odd size is coded in 4:4:4 as the
    // next even size cropped by one pixel in the sequence header.
    c.width = o_.width + (o_.width & 1);
    c.height = o_.height + (o_.height & 1);
    c.time_base = {1, o_.framesPerSecond};
    c.framerate = {o_.framesPerSecond, 1};
    c.gop_size = o_.keyframeInterval;
    c.pix_fmt = odd() ? AV_PIX_FMT_YUV444P : AV_PIX_FMT_YUV420P;
    const bool bt709 = o_.matrix == ClipOptions::Matrix::BT709;
    c.colorspace = bt709 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    c.color_primaries = bt709 ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    c.color_trc = bt709 ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    c.color_range = o_.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(c.priv_data, "preset", o_.preset, 0);
    av_opt_set(c.priv_data, "crf", "18", 0);
    if (odd()) {
      const std::string crop = "crop-rect=0,0," + std::to_string(o_.width & 1) + "," + std::to_string(o_.height & 1);
      av_opt_set(c.priv_data, "x264-params", crop.c_str(), 0);
    }
    // Deterministic output: one encoding thread.
    c.thread_count = 1;
    check(avcodec_open2(&c, codec, nullptr), "open video encoder");
    videoStream_ = avformat_new_stream(format_, nullptr);
    videoStream_->time_base = c.time_base;
    check(avcodec_parameters_from_context(videoStream_->codecpar, &c), "video parameters");
    if (o_.rotationDegrees % 360 != 0) {
      auto* matrix = reinterpret_cast<std::int32_t*>(
          av_stream_new_side_data(videoStream_, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)));
      if (!matrix) fail("display matrix");
      av_display_rotation_set(matrix, o_.rotationDegrees);
    }
  }

  void openAudio() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) fail("no AAC encoder");
    audio_.reset(avcodec_alloc_context3(codec));
    AVCodecContext& c = *audio_;
    c.sample_rate = kSampleRate;
    c.sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&c.ch_layout, 2);
    c.bit_rate = 128000;
    c.time_base = {1, kSampleRate};
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(avcodec_open2(&c, codec, nullptr), "open audio encoder");
    audioStream_ = avformat_new_stream(format_, nullptr);
    audioStream_->time_base = c.time_base;
    check(avcodec_parameters_from_context(audioStream_->codecpar, &c), "audio parameters");
  }

  std::int64_t encodeTone(std::int64_t first, std::int64_t total) {
    Frame frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = kSampleRate;
    check(av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout), "layout");
    frame->nb_samples = static_cast<int>(std::min<std::int64_t>(audio_->frame_size, total - first));
    check(av_frame_get_buffer(frame.get(), 0), "samples");
    for (int ch = 0; ch < 2; ++ch) {
      auto* out = reinterpret_cast<float*>(frame->data[ch]);
      for (int i = 0; i < frame->nb_samples; ++i) {
        out[i] = static_cast<float>(o_.toneAmplitude *
                                    std::sin(2 * std::numbers::pi * 440.0 * double(first + i) / kSampleRate));
      }
    }
    frame->pts = first;
    encode(audio_.get(), audioStream_, frame.get());
    return frame->nb_samples;
  }

  void encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    check(avcodec_send_frame(codec, frame), "send frame");
    Packet packet(av_packet_alloc());
    for (;;) {
      const int got = avcodec_receive_packet(codec, packet.get());
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
      check(got, "receive packet");
      av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      check(av_interleaved_write_frame(format_, packet.get()), "write");
    }
  }

  const ClipOptions& o_;
  AVFormatContext* format_ = nullptr;
  CodecContext video_, audio_;
  AVStream* videoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
};

std::string encodeClip(const ClipOptions& options) {
  av_log_set_level(AV_LOG_ERROR);
  char pattern[] = "/tmp/morvane-clip-XXXXXX";
  const int fd = ::mkstemp(pattern);
  if (fd < 0) fail("temporary file");
  ::close(fd);
  const std::string path = std::string(pattern) + ".mp4";
  std::filesystem::rename(pattern, path);
  std::string bytes;
  try {
    Encoder(options, path).run();
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  } catch (...) {
    std::filesystem::remove(path);
    throw;
  }
  std::filesystem::remove(path);
  return bytes;
}

// Finds a top-level box of `type`: the offset of its header and its size.
std::optional<std::pair<std::size_t, std::size_t>> findBox(const std::string& clip, const char* type) {
  std::size_t at = 0;
  while (at + 8 <= clip.size()) {
    const auto* p = reinterpret_cast<const unsigned char*>(clip.data() + at);
    const std::size_t size = (std::size_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    if (size < 8) return std::nullopt;
    if (clip.compare(at + 4, 4, type) == 0) return std::pair{at, size};
    at += size;
  }
  return std::nullopt;
}

}  // namespace

const std::string& MediaClips::make(const ClipOptions& options) {
  static std::mutex mutex;
  static std::vector<std::pair<ClipOptions, std::unique_ptr<std::string>>> made;
  std::lock_guard lock(mutex);
  for (const auto& [o, bytes] : made) {
    if (o == options) return *bytes;
  }
  made.emplace_back(options, std::make_unique<std::string>(encodeClip(options)));
  return *made.back().second;
}

std::string MediaClips::truncated(const std::string& clip, std::size_t bytes) {
  return clip.substr(0, std::min(bytes, clip.size()));
}

std::string MediaClips::corruptedIndex(const std::string& clip) {
  std::string out = clip;
  const auto box = findBox(out, "moov");
  if (!box) return out;
  unsigned state = 12345;
  // Keep the box header so the damage is inside the index, not in the file's framing.
  for (std::size_t i = box->first + 8; i < box->first + box->second && i < out.size(); ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = static_cast<char>(state >> 16);
  }
  return out;
}

int MediaClips::frameNumber(const std::uint8_t* luma, int stride, int width, int height) {
  if (width < kBlock * (kBits + 1) || height < 2 * kBlock) return -1;
  int number = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    const int x = kBlock * (1 + bit) + kBlock / 2, y = kBlock + kBlock / 2;
    const int v = luma[y * stride + x];
    if (v > 60 && v < 190) return -1;
    number = (number << 1) | (v >= 190 ? 1 : 0);
  }
  return number;
}

}  // namespace testenv
