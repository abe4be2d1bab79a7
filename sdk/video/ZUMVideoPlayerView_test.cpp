// The flat player view: the video it draws, and its playback optimisation as the ad's
// visibility and the video's rate change.
#include "sdk/video/ZUMVideoPlayerView.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "platform/media/Asset.h"
#include "platform/media/Player.h"
#include "platform/media/PlayerItem.h"
#include "platform/media/PlayerLayer.h"
#include "platform/ui/Bitmap.h"
#include "sdk/video/ZUMVideoTestSupport.h"
#include "testing/MediaClips.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using testenv::MediaClips;

// The frame number drawn where the video fills `video` at `scale` points per pixel.
int numberIn(const platform::Bitmap& shot, const platform::Rect& video, double scale) {
  int number = 0;
  for (int bit = 0; bit < MediaClips::kBits; ++bit) {
    const double x = video.origin.x + scale * (MediaClips::kBlock * (1 + bit) + MediaClips::kBlock / 2.0);
    const double y = video.origin.y + scale * (MediaClips::kBlock * 1.5);
    number = (number << 1) | (shot.pixel(int(x), int(y)).g > 128 ? 1 : 0);
  }
  return number;
}

class ZUMVideoPlayerViewTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    auto item = platform::PlayerItem::create(platform::Asset::create(videotest::writeFile(env, MediaClips::make())));
    player = platform::Player::create(item);
    ASSERT_TRUE(env.runUntil([&] { return item->status() == platform::PlayerItem::Status::ReadyToPlay; }));
  }
  std::shared_ptr<ZUMVideoPlayerView> made() {
    auto view = ZUMVideoPlayerView::create({0, 0, 320, 180});
    view->setUpWithPlayer(player);
    return view;
  }
  std::shared_ptr<platform::Player> player;
};

TEST_F(ZUMVideoPlayerViewTest, ShowsThePlayersFrameAndFollowsItsFrame) {
  auto view = made();
  player->seekToTime(platform::MediaTime::makeWithSeconds(1.0, 600));
  env.runUntilIdle();
  EXPECT_EQ(numberIn(view->snapshot(1.0), {0, 0, 320, 180}, 1.0), 30);
  view->setFrame({10, 10, 640, 360});
  EXPECT_EQ(view->playerLayer()->frame(), platform::Rect(0, 0, 640, 360));
  EXPECT_EQ(numberIn(view->snapshot(1.0), {0, 0, 640, 360}, 2.0), 30);
  // The same player again keeps the layer; another one replaces it.
  const auto layer = view->playerLayer();
  view->setUpWithPlayer(player);
  EXPECT_EQ(view->playerLayer(), layer);
  EXPECT_EQ(view->subviews().size(), 1u);
  view->setUpWithPlayer(platform::Player::create());
  EXPECT_NE(view->playerLayer(), layer);
  EXPECT_EQ(view->subviews().size(), 1u);
  EXPECT_FALSE(layer->superview());
}

TEST_F(ZUMVideoPlayerViewTest, AHiddenPausedVideoLetsGoOfItsItem) {
  auto view = made();
  const auto item = player->currentItem();
  const struct {
    const char* name;
    bool enabled, visible, playing, attached;
  } rows[] = {
      {"off: nothing detached", false, false, false, true}, {"hidden and paused", true, false, false, false},
      {"visible again", true, true, false, true},           {"hidden and playing", true, false, true, true},
      {"hidden, paused again", true, false, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.enabled) {
      view->enableVideoPlaybackOptimization();
    } else {
      view->disableVideoPlaybackOptimization();
    }
    if (row.playing) {
      view->resetVideoPlaybackOptimization();
      player->play();
    } else {
      player->pause();
    }
    env.advance(0.25s);
    const double time = item->currentTime().seconds();
    view->optimizeVideoForAdVisibility(row.visible);
    EXPECT_EQ(player->currentItem() == item, row.attached);
    EXPECT_EQ(player->currentItem() == nullptr, !row.attached);
    EXPECT_DOUBLE_EQ(item->currentTime().seconds(), time);  // the item keeps its place
  }
  view->resetVideoPlaybackOptimization();
  EXPECT_EQ(player->currentItem(), item);
  EXPECT_DOUBLE_EQ(item->currentTime().seconds(), 0.25);  // played only while attached
}

TEST_F(ZUMVideoPlayerViewTest, TheSwitchStopsEveryOptimisation) {
  const auto item = player->currentItem();
  for (const char* stored : {"true", "1"}) {
    ASSERT_TRUE(platform::UserDefaults::standard().setObject(nlohmann::ordered_json(stored),
                                                             "/vantor/ads/zums:video_playback_optimization_disabled"));
    auto view = made();
    view->enableVideoPlaybackOptimization();
    EXPECT_FALSE(view->isPlaybackOptimizationEnabled());
    view->optimizeVideoForAdVisibility(false);
    EXPECT_TRUE(player->currentItem());
    player->replaceCurrentItem(nullptr);
    view->resetVideoPlaybackOptimization();
    EXPECT_FALSE(player->currentItem());
    player->replaceCurrentItem(item);
  }
}

}  // namespace
