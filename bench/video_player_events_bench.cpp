// Main-thread time for one second of 30 fps playback (video and sound) by the ad's video
// player, with the page events it posts ("timeupdate" every 1/4 s), against posting the
// same four events alone, measured in the same run. "ratio" is playback over events
// alone: what the player itself adds on the main thread beyond telling the page.
// Thread CPU time of the main thread only: decoding runs on the item's own thread.
#include <cstdio>
#include <memory>
#include <string>
#include <time.h>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "platform/base/FileManager.h"
#include "platform/media/Player.h"
#include "sdk/entry/ZUMBuiltIns.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoPlayerImpl.h"
#include "testing/MediaClips.h"
#include "testing/TestEnvironment.h"

namespace {

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void BM_OneSecondOfPlaybackWithPageEvents(benchmark::State& state) {
  testenv::TestEnvironment env;
  ZUMRegisterBuiltIns();
  const auto path = env.temporaryDirectory() / "clip.mp4";
  if (!platform::FileManager::writeAtomically(path, testenv::MediaClips::make({.seconds = 10}))) {
    return state.SkipWithError("no clip");
  }
  auto adView = ZUMAdView::create({0, 0, 320, 250});
  auto player = ZUMVideoPlayerImpl::create(adView);
  player->setSourceURL(platform::URL::fileURL(path), nullptr, ZUMVideoConfigurationImpl::create());
  if (!env.runUntil([&] { return player->hasPostedCanPlayThrough(); })) return state.SkipWithError("not ready");
  player->playNativePlayer();
  double playback = 0, alone = 0;
  for (auto _ : state) {
    if (player->player()->currentTime().seconds() > 8) {
      player->seekToTime(0);
      env.runUntilIdle();
    }
    double start = threadSeconds();
    env.advance(1.0);
    const double played = threadSeconds() - start;
    start = threadSeconds();
    for (int tick = 0; tick < 4; ++tick) {
      char time[32];
      std::snprintf(time, sizeof time, "%f", tick * 0.25);
      adView->postJSNotification("onVideoEvent", nlohmann::ordered_json{{"event", "timeupdate"}, {"time", time}});
    }
    env.runUntilIdle();
    const double posted = threadSeconds() - start;
    playback += played;
    alone += posted;
    state.SetIterationTime(played);
  }
  state.counters["events_alone_ms"] = benchmark::Counter(alone * 1000 / double(state.iterations()));
  state.counters["ratio"] = alone > 0 ? playback / alone : 0;
}
BENCHMARK(BM_OneSecondOfPlaybackWithPageEvents)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
