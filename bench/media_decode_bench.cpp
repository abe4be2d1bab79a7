// Decoding a 1080p H.264 clip (two seconds, 60 frames) to frames: through the platform's
// media pipeline (asset, byte source, demuxing and decoding on its thread, NV12 frames
// pulled in order as a video output pulls them) against bare libavcodec decoding of the
// same file in the same run. The target: the pipeline takes at most 1.2 times as long.
// Each is repeated (see BenchSpread.h) and reported as min/median/max of the repetitions.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "BenchSpread.h"
#include "platform/base/Clock.h"
#include "platform/base/MainLoopDriver.h"
#include "platform/base/RunLoop.h"
#include "platform/media/Asset.h"
#include "platform/media/MediaDecoder.h"
#include "testing/MediaClips.h"

namespace {

constexpr int kFrames = 60;

const std::filesystem::path& clipPath() {
  static const std::filesystem::path path = [] {
    const std::string& clip = testenv::MediaClips::make(
        {.width = 1920, .height = 1080, .audio = false, .noise = true, .preset = "ultrafast"});
    auto p = std::filesystem::temp_directory_path() / "morvane-bench-1080p.mp4";
    std::ofstream(p, std::ios::binary) << clip;
    return p;
  }();
  return path;
}

void setUpOnce() {
  static const bool done = [] {
    platform::bindMainThread();
    // Under the virtual clock a pull waits for its frame, as a test's would.
    platform::setClock(std::make_shared<platform::VirtualClock>());
    return true;
  }();
  (void)done;
}

int decodeBare(const char* path) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path, nullptr, nullptr) < 0) return -1;
  avformat_find_stream_info(format, nullptr);
  const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVCodec* codec = avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(context, format->streams[stream]->codecpar);
  avcodec_open2(context, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int frames = 0;
  auto drain = [&] {
    while (avcodec_receive_frame(context, frame) >= 0) {
      ++frames;
      av_frame_unref(frame);
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == stream && avcodec_send_packet(context, packet) >= 0) drain();
    av_packet_unref(packet);
  }
  avcodec_send_packet(context, nullptr);
  drain();
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  avformat_close_input(&format);
  return frames;
}

int decodeThroughPipeline(const std::filesystem::path& path) {
  int frames = 0;
  {
    auto asset = platform::Asset::create(platform::URL::fileURL(path));
    auto decoder = asset->decoder();
    for (int k = 0; k < kFrames; ++k) {
      if (decoder->frameAt(k / 30.0, true)) ++frames;
    }
  }
  platform::MainLoopDriver::runUntilIdle();
  return frames;
}

void BM_Decode1080pBareLibavcodec(benchmark::State& state) {
  const std::string path = clipPath().string();
  int frames = 0;
  for (auto _ : state) frames = decodeBare(path.c_str());
  if (frames != kFrames) state.SkipWithError("bare decoding lost frames");
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_Decode1080pBareLibavcodec)
    ->Apply(morvanebench::withSpread)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Decode1080pThroughThePipeline(benchmark::State& state) {
  setUpOnce();
  const auto& path = clipPath();
  int frames = 0;
  for (auto _ : state) frames = decodeThroughPipeline(path);
  if (frames != kFrames) state.SkipWithError("the pipeline lost frames");
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_Decode1080pThroughThePipeline)
    ->Apply(morvanebench::withSpread)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
