#include "platform/media/MediaDecoder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "platform/base/Clock.h"
#include "platform/media/ByteSource.h"
#include "platform/media/MediaError.h"
#include "platform/media/PixelBuffer.h"

namespace platform {
namespace {

constexpr int kIOBufferSize = 64 * 1024;
constexpr double kAudioAheadSeconds = 1.0;

struct AudioChunk {
  double time = 0;
  std::vector<float> samples;  // interleaved stereo
};

double seconds(std::int64_t ts, AVRational base) {
  return ts == AV_NOPTS_VALUE ? NAN : double(ts) * base.num / base.den;
}

std::string matrixOf(const AVCodecParameters& p) {
  switch (p.color_space) {
    case AVCOL_SPC_BT709:
      return kYCbCrMatrixITU_R_709_2;
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_BT470BG:
      return kYCbCrMatrixITU_R_601_4;
    default:
      // Untagged: standard definition is 601, high definition 709.
      return p.height < 720 ? kYCbCrMatrixITU_R_601_4 : kYCbCrMatrixITU_R_709_2;
  }
}

}  // namespace

class MediaDecoder::Impl {
 public:
  Impl(std::shared_ptr<ByteSource> source, OpenedHandler opened)
      : source_(std::move(source)), opened_(std::move(opened)) {}
  ~Impl() { close(); }

  void run();
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    source_->cancel();
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  std::optional<Frame> frameAt(double time, bool await);
  std::vector<float> audio(double from, double to, bool await);
  void seek(double time) {
    {
      std::lock_guard lock(mutex_);
      seekTarget_ = time;
      playhead_ = time;
      frames_.clear();
      audio_.clear();
      ended_ = false;
    }
    changed_.notify_all();
  }
  void setPlayhead(double time) {
    {
      std::lock_guard lock(mutex_);
      playhead_ = std::max(playhead_, time);
      trim();
    }
    changed_.notify_all();
  }

  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool ended_ = false;
  ErrorPtr error_;

 private:
  bool open(MediaInfo& info);
  void describe(MediaInfo& info);
  bool checkIndex();
  bool decodeNext();
  void receive(AVCodecContext* codec, bool video);
  void pushVideo(const AVFrame& frame);
  void pushAudio(const AVFrame& frame);
  void doSeek(double time);
  bool full() const;                               // with the lock
  void trim();                                     // with the lock
  bool settledFor(double time, bool video) const;  // with the lock
  template <class Ready>
  void awaitSettled(std::unique_lock<std::mutex>& lock, Ready ready);
  void finish(ErrorPtr error);
  void close();

  static int readPacket(void* opaque, std::uint8_t* buffer, int size);
  static std::int64_t seekIO(void* opaque, std::int64_t offset, int whence);
  static int interrupted(void* opaque);

  std::shared_ptr<ByteSource> source_;
  OpenedHandler opened_;
  std::int64_t position_ = 0;

  AVFormatContext* format_ = nullptr;
  AVIOContext* io_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVCodecContext* audioCodec_ = nullptr;
  int videoStream_ = -1, audioStream_ = -1;
  SwsContext* sws_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  std::string matrix_;
  bool fullRange_ = false;
  int sampleRate_ = 0;

  // Guarded by mutex_.
  std::deque<Frame> frames_;
  std::deque<AudioChunk> audio_;
  double playhead_ = 0;
  std::optional<double> seekTarget_;
  bool stopping_ = false;
  bool open_ = false;
  bool decoding_ = false;  // between taking a step and finishing it
};

int MediaDecoder::Impl::readPacket(void* opaque, std::uint8_t* buffer, int size) {
  auto* self = static_cast<Impl*>(opaque);
  const std::int64_t got = self->source_->read(self->position_, buffer, size);
  if (got < 0) return AVERROR(EIO);
  if (got == 0) return AVERROR_EOF;
  self->position_ += got;
  return static_cast<int>(got);
}

std::int64_t MediaDecoder::Impl::seekIO(void* opaque, std::int64_t offset, int whence) {
  auto* self = static_cast<Impl*>(opaque);
  const auto length = self->source_->length();
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return length ? *length : AVERROR(ENOSYS);
    case SEEK_SET:
      break;
    case SEEK_CUR:
      offset += self->position_;
      break;
    case SEEK_END:
      if (!length) return AVERROR(ENOSYS);
      offset += *length;
      break;
    default:
      return AVERROR(EINVAL);
  }
  if (offset < 0) return AVERROR(EINVAL);
  self->position_ = offset;
  return offset;
}

int MediaDecoder::Impl::interrupted(void* opaque) {
  auto* self = static_cast<Impl*>(opaque);
  std::lock_guard lock(self->mutex_);
  return self->stopping_ ? 1 : 0;
}

bool MediaDecoder::Impl::open(MediaInfo& info) {
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIOBufferSize));
  io_ = avio_alloc_context(buffer, kIOBufferSize, 0, this, &Impl::readPacket, nullptr, &Impl::seekIO);
  format_ = avformat_alloc_context();
  if (!io_ || !format_) {
    av_free(buffer);
    return false;
  }
  format_->pb = io_;
  format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  format_->interrupt_callback = {&Impl::interrupted, this};
  // Hostile input must not make probing read or analyse without bound.
  format_->probesize = 4 << 20;
  format_->max_analyze_duration = 5 * AV_TIME_BASE;
  if (avformat_open_input(&format_, nullptr, nullptr, nullptr) < 0) {
    format_ = nullptr;  // freed by the failed open
    return false;
  }
  if (avformat_find_stream_info(format_, nullptr) < 0) return false;
  videoStream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  audioStream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  auto openCodec = [&](int stream, AVCodecContext*& context) {
    if (stream < 0) return;
    const AVCodecParameters* p = format_->streams[stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(p->codec_id);
    context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (context) context->max_pixels = kMaxPixels;
    if (!context || avcodec_parameters_to_context(context, p) < 0 || avcodec_open2(context, codec, nullptr) < 0) {
      avcodec_free_context(&context);
      if (stream == videoStream_)
        videoStream_ = -1;
      else
        audioStream_ = -1;
    }
  };
  openCodec(videoStream_, video_);
  openCodec(audioStream_, audioCodec_);
  if (videoStream_ < 0 && audioStream_ < 0) return false;
  describe(info);
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  return packet_ && frame_;
}

void MediaDecoder::Impl::describe(MediaInfo& info) {
  info.duration = format_->duration > 0 ? double(format_->duration) / AV_TIME_BASE : 0;
  for (int stream : {videoStream_, audioStream_}) {
    if (stream < 0) continue;
    AVStream* st = format_->streams[stream];
    MediaTrackInfo track;
    track.trackID = st->id > 0 ? st->id : stream + 1;
    track.isVideo = stream == videoStream_;
    track.width = track.isVideo ? st->codecpar->width : 0;
    track.height = track.isVideo ? st->codecpar->height : 0;
    track.estimatedDataRate = double(st->codecpar->bit_rate);
    if (const auto* m =
            reinterpret_cast<const std::int32_t*>(av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr))) {
      track.transform = {m[0] / 65536.0, m[1] / 65536.0, m[3] / 65536.0,
                         m[4] / 65536.0, m[6] / 65536.0, m[7] / 65536.0};
    }
    std::vector<MediaIndexEntry> entries;
    const int count = avformat_index_get_entries_count(st);
    entries.reserve(static_cast<std::size_t>(std::max(0, count)));
    for (int i = 0; i < count; ++i) {
      const AVIndexEntry* e = avformat_index_get_entry(st, i);
      entries.push_back({e->pos, e->size, seconds(e->timestamp, st->time_base)});
    }
    std::stable_sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.time < b.time; });
    if (track.estimatedDataRate <= 0 && info.duration > 0) {
      double bytes = 0;
      for (const auto& e : entries) bytes += double(e.size);
      track.estimatedDataRate = bytes * 8 / info.duration;
    }
    info.tracks.push_back(track);
    info.index.push_back(std::move(entries));
  }
  if (videoStream_ >= 0) {
    matrix_ = matrixOf(*format_->streams[videoStream_]->codecpar);
    fullRange_ = format_->streams[videoStream_]->codecpar->color_range == AVCOL_RANGE_JPEG;
  }
  if (audioStream_ >= 0) sampleRate_ = info.audioSampleRate = audioCodec_->sample_rate;
}

// A file whose index points past its end was cut short.
bool MediaDecoder::Impl::checkIndex() {
  const auto length = source_->length();
  if (!length) return true;
  for (unsigned s = 0; s < format_->nb_streams; ++s) {
    AVStream* st = format_->streams[s];
    const int count = avformat_index_get_entries_count(st);
    for (int i = 0; i < count; ++i) {
      const AVIndexEntry* e = avformat_index_get_entry(st, i);
      if (e->pos + e->size > *length) return false;
    }
  }
  return true;
}

void MediaDecoder::Impl::run() {
  MediaInfo info;
  if (!open(info)) {
    ErrorPtr cause = source_->error();
    finish(cause ? makeMediaError(kMediaErrorResourceUnavailable, "The media could not be read", cause)
                 : makeMediaError(kMediaErrorFormatNotRecognized, "The media format is not recognised"));
    if (opened_) opened_(nullptr, error_);
    return;
  }
  if (!checkIndex()) {
    finish(makeMediaError(kMediaErrorTruncated, "The media file is cut short"));
    if (opened_) opened_(nullptr, error_);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    open_ = true;
  }
  if (opened_) opened_(&info, nullptr);
  for (;;) {
    std::optional<double> target;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || seekTarget_ || (!ended_ && !error_ && !full()); });
      if (stopping_) return;
      target = std::exchange(seekTarget_, std::nullopt);
      decoding_ = true;
    }
    if (target) doSeek(*target);
    const bool more = target || decodeNext();
    std::lock_guard lock(mutex_);
    decoding_ = false;
    if (!more && !seekTarget_) ended_ = true;
    changed_.notify_all();
  }
}

bool MediaDecoder::Impl::decodeNext() {
  const int read = av_read_frame(format_, packet_);
  if (read < 0) {
    if (source_->isCancelled()) return false;
    if (ErrorPtr cause = source_->error()) {
      finish(makeMediaError(kMediaErrorResourceUnavailable, "The media could not be read", cause));
      return false;
    }
    // The end: drain the decoders.
    if (video_) avcodec_send_packet(video_, nullptr), receive(video_, true);
    if (audioCodec_) avcodec_send_packet(audioCodec_, nullptr), receive(audioCodec_, false);
    return false;
  }
  AVCodecContext* codec = packet_->stream_index == videoStream_   ? video_
                          : packet_->stream_index == audioStream_ ? audioCodec_
                                                                  : nullptr;
  // A damaged packet is skipped, as players conceal it; the stream goes on.
  if (codec && avcodec_send_packet(codec, packet_) >= 0) receive(codec, codec == video_);
  av_packet_unref(packet_);
  return true;
}

void MediaDecoder::Impl::receive(AVCodecContext* codec, bool video) {
  while (avcodec_receive_frame(codec, frame_) >= 0) {
    if (video) {
      pushVideo(*frame_);
    } else {
      pushAudio(*frame_);
    }
    av_frame_unref(frame_);
  }
}

void MediaDecoder::Impl::pushVideo(const AVFrame& f) {
  const double time = seconds(f.best_effort_timestamp, format_->streams[videoStream_]->time_base);
  if (!std::isfinite(time) || f.width <= 0 || f.height <= 0) return;
  auto buffer = std::make_shared<PixelBuffer>(f.width, f.height, fullRange_, matrix_);
  std::uint8_t* y = buffer->mutableBaseAddressOfPlane(0);
  std::uint8_t* uv = buffer->mutableBaseAddressOfPlane(1);
  const int cw = buffer->widthOfPlane(1), ch = buffer->heightOfPlane(1);
  if (f.format == AV_PIX_FMT_YUV420P || f.format == AV_PIX_FMT_YUVJ420P) {
    for (int r = 0; r < f.height; ++r) std::memcpy(y + r * f.width, f.data[0] + r * f.linesize[0], f.width);
    for (int r = 0; r < ch; ++r) {
      const std::uint8_t* u = f.data[1] + r * f.linesize[1];
      const std::uint8_t* v = f.data[2] + r * f.linesize[2];
      std::uint8_t* out = uv + r * 2 * cw;
      for (int c = 0; c < cw; ++c) out[2 * c] = u[c], out[2 * c + 1] = v[c];
    }
  } else {
    sws_ = sws_getCachedContext(sws_, f.width, f.height, AVPixelFormat(f.format), f.width, f.height, AV_PIX_FMT_NV12,
                                SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws_) return;
    std::uint8_t* planes[2] = {y, uv};
    const int strides[2] = {buffer->bytesPerRowOfPlane(0), buffer->bytesPerRowOfPlane(1)};
    sws_scale(sws_, f.data, f.linesize, 0, f.height, planes, strides);
  }
  std::lock_guard lock(mutex_);
  if (seekTarget_) return;  // decoded before a seek that came meanwhile
  frames_.push_back({std::move(buffer), time});
  trim();
  changed_.notify_all();
}

void MediaDecoder::Impl::pushAudio(const AVFrame& f) {
  const double time = seconds(f.best_effort_timestamp, format_->streams[audioStream_]->time_base);
  if (!std::isfinite(time) || f.nb_samples <= 0) return;
  if (!swr_) {
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_FLT, sampleRate_, const_cast<AVChannelLayout*>(&f.ch_layout),
                            AVSampleFormat(f.format), f.sample_rate, 0, nullptr) < 0 ||
        swr_init(swr_) < 0) {
      swr_free(&swr_);
      return;
    }
  }
  AudioChunk chunk{time, std::vector<float>(static_cast<std::size_t>(2 * (f.nb_samples + 256)))};
  std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(chunk.samples.data())};
  const int got =
      swr_convert(swr_, out, f.nb_samples + 256, const_cast<const std::uint8_t**>(f.extended_data), f.nb_samples);
  if (got <= 0) return;
  chunk.samples.resize(static_cast<std::size_t>(2 * got));
  std::lock_guard lock(mutex_);
  if (seekTarget_) return;
  audio_.push_back(std::move(chunk));
  trim();
  changed_.notify_all();
}

void MediaDecoder::Impl::doSeek(double time) {
  const int stream = videoStream_ >= 0 ? videoStream_ : audioStream_;
  const AVRational base = format_->streams[stream]->time_base;
  const auto ts = static_cast<std::int64_t>(std::floor(std::max(0.0, time) * base.den / base.num));
  av_seek_frame(format_, stream, ts, AVSEEK_FLAG_BACKWARD);
  if (video_) avcodec_flush_buffers(video_);
  if (audioCodec_) avcodec_flush_buffers(audioCodec_);
  if (swr_) swr_free(&swr_);
}

bool MediaDecoder::Impl::full() const {
  const std::size_t frameBytes =
      frames_.empty() ? 0 : std::size_t(frames_.front().buffer->width()) * frames_.front().buffer->height() * 3 / 2;
  if (frames_.size() >= 2 && frames_.size() * frameBytes >= kMaxQueuedBytes) return true;
  const bool videoFull = videoStream_ < 0 || frames_.size() >= kMaxQueuedFrames ||
                         (!frames_.empty() && frames_.back().time - playhead_ >= kAheadSeconds);
  const bool audioFull = audioStream_ < 0 || (!audio_.empty() && audio_.back().time - playhead_ >= kAudioAheadSeconds);
  return (videoFull && audioFull) || frames_.size() >= kMaxQueuedFrames;
}

void MediaDecoder::Impl::trim() {
  // Keep the frame due at the play head and what follows it.
  while (frames_.size() >= 2 && frames_[1].time <= playhead_) frames_.pop_front();
  while (!audio_.empty() &&
         audio_.front().time + double(audio_.front().samples.size() / 2) / std::max(1, sampleRate_) < playhead_) {
    audio_.pop_front();
  }
}

bool MediaDecoder::Impl::settledFor(double time, bool video) const {
  if (stopping_ || error_ || ended_) return true;
  if (!open_) return false;  // the streams are not known yet
  if (!seekTarget_ && !decoding_ && full()) return true;
  if (video && !frames_.empty() && frames_.back().time > time) return true;
  if (!video && !audio_.empty() &&
      audio_.back().time + double(audio_.back().samples.size() / 2) / std::max(1, sampleRate_) >= time) {
    return true;
  }
  // Waiting for bytes the source does not hold: nothing more comes without them.
  return !seekTarget_ && source_->isWaitingForData();
}

template <class Ready>
void MediaDecoder::Impl::awaitSettled(std::unique_lock<std::mutex>& lock, Ready ready) {
  // The source's waiting for bytes is not signalled here: look again every few
  // milliseconds as well as on every change.
  const auto deadline = std::chrono::steady_clock::now() + kAwaitLimit;
  while (!ready() && std::chrono::steady_clock::now() < deadline) changed_.wait_for(lock, std::chrono::milliseconds(2));
}

std::optional<MediaDecoder::Frame> MediaDecoder::Impl::frameAt(double time, bool await) {
  std::unique_lock lock(mutex_);
  playhead_ = std::max(playhead_, time);
  trim();
  changed_.notify_all();
  if (await) awaitSettled(lock, [&] { return settledFor(time, true); });
  std::optional<Frame> due;
  for (const Frame& f : frames_) {
    if (f.time > time + 1e-9) break;
    due = f;
  }
  return due;
}

std::vector<float> MediaDecoder::Impl::audio(double from, double to, bool await) {
  std::unique_lock lock(mutex_);
  playhead_ = std::max(playhead_, from);
  trim();
  changed_.notify_all();
  if (await) awaitSettled(lock, [&] { return settledFor(to, false); });
  const int rate = std::max(1, sampleRate_);
  const auto first = static_cast<std::int64_t>(std::llround(from * rate));
  const auto count = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::llround(to * rate)) - first);
  std::vector<float> out(static_cast<std::size_t>(2 * count), 0.0f);
  for (const AudioChunk& c : audio_) {
    const auto start = static_cast<std::int64_t>(std::llround(c.time * rate));
    const auto n = static_cast<std::int64_t>(c.samples.size() / 2);
    const std::int64_t lo = std::max(first, start), hi = std::min(first + count, start + n);
    for (std::int64_t s = lo; s < hi; ++s) {
      out[2 * (s - first)] = c.samples[2 * (s - start)];
      out[2 * (s - first) + 1] = c.samples[2 * (s - start) + 1];
    }
  }
  return out;
}

void MediaDecoder::Impl::finish(ErrorPtr error) {
  std::lock_guard lock(mutex_);
  if (!error_) error_ = std::move(error);
  changed_.notify_all();
}

void MediaDecoder::Impl::close() {
  if (thread_.joinable()) stop();
  avcodec_free_context(&video_);
  avcodec_free_context(&audioCodec_);
  sws_freeContext(sws_);
  swr_free(&swr_);
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  if (format_) avformat_close_input(&format_);
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
}

std::shared_ptr<MediaDecoder> MediaDecoder::start(std::shared_ptr<ByteSource> source, OpenedHandler opened) {
  // Hostile files would fill the log with the libraries' complaints; failures reach the
  // caller as errors instead.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  auto impl = std::make_unique<Impl>(std::move(source), std::move(opened));
  Impl* raw = impl.get();
  auto decoder = std::shared_ptr<MediaDecoder>(new MediaDecoder(std::move(impl)));
  raw->thread_ = std::thread([raw] { raw->run(); });
  return decoder;
}

MediaDecoder::MediaDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MediaDecoder::~MediaDecoder() { stop(); }
void MediaDecoder::stop() { impl_->stop(); }
std::optional<MediaDecoder::Frame> MediaDecoder::frameAt(double time, bool await) {
  return impl_->frameAt(time, await && virtualClock());
}
std::vector<float> MediaDecoder::audio(double from, double to, bool await) {
  return impl_->audio(from, to, await && virtualClock());
}
void MediaDecoder::seek(double time) { impl_->seek(time); }
void MediaDecoder::setPlayhead(double time) { impl_->setPlayhead(time); }
bool MediaDecoder::hasEnded() const {
  std::lock_guard lock(impl_->mutex_);
  return impl_->ended_;
}
ErrorPtr MediaDecoder::error() const {
  std::lock_guard lock(impl_->mutex_);
  return impl_->error_;
}

}  // namespace platform
